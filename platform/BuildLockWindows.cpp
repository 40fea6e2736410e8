#include "platform/BuildLock.h"

#include "platform/BuildError.h"

#include <QDir>

#include <windows.h>

BuildLock::BuildLock(const QString& path) {
    // Shared for reading and writing so that the file can be opened by every build; the lock on
    // its first byte is what only one holds. Never removed, for the same reason as on POSIX.
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw BuildError(BuildError::PermissionDenied, QStringLiteral("Cannot open the build lock %1: %2")
                                                           .arg(path, qt_error_string(int(GetLastError()))));
    OVERLAPPED start = {};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
        m_handle = reinterpret_cast<qintptr>(file);
        return;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION)
        throw BuildError(BuildError::FileAlreadyOpen, BusyMessage());
    throw BuildError(BuildError::PermissionDenied,
                     QStringLiteral("Cannot lock %1: %2").arg(path, qt_error_string(int(error))));
}

BuildLock::~BuildLock() {
    // Closing the handle releases the lock.
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}
