#include "platform/FileLock.h"

#include <QDir>
#include <QFileInfo>

#include <string>

#include <windows.h>

namespace {

std::wstring nativeName(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

QByteArray readRecord(HANDLE file) {
    char buffer[4096];
    DWORD read = 0;
    OVERLAPPED start = {};
    if (!ReadFile(file, buffer, sizeof buffer, &read, &start))
        return {};
    return QByteArray(buffer, int(read));
}

} // namespace

QString FileLock::ThisProgram() {
    wchar_t path[MAX_PATH * 4];
    const DWORD size = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return QFileInfo(QString::fromWCharArray(path, int(size))).fileName();
}

void FileLock::CheckRunning(Holder& holder) {
    holder.running = false;
    if (holder.pid <= 0 || holder.pid > MAXDWORD || !IsThisBoot(holder))
        return;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(holder.pid));
    if (!process) {
        // Another user's process may refuse to be looked at; a missing one is gone.
        holder.running = GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    DWORD exitCode = 0;
    wchar_t image[MAX_PATH * 4];
    DWORD size = DWORD(std::size(image));
    if (GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE) {
        const QString program = QueryFullProcessImageNameW(process, 0, image, &size)
                                    ? QFileInfo(QString::fromWCharArray(image, int(size))).fileName()
                                    : QString();
        holder.running = program.isEmpty() || holder.program.isEmpty() ||
                         program.compare(holder.program, Qt::CaseInsensitive) == 0;
    }
    CloseHandle(process);
}

FileLock::FileLock(const QString& path)
    : m_path(path) {
    const std::wstring name = nativeName(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_state = State::FolderInPlace;
        return;
    }
    // Not shared for deletion: a holder's release removes the file only when no one else has it
    // open, so whoever opened it before then keeps a file that has the name.
    bool writable = true;
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED && QFileInfo::exists(path)) {
        writable = false;
        file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            // An older version's lock, which it opens for itself alone.
            m_state = State::Busy;
        else if (error == ERROR_ACCESS_DENIED && QFileInfo::exists(path))
            m_state = State::OthersFile;
        else if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
            m_state = State::NotCreatable;
        else
            m_detail = qt_error_string(int(error));
        return;
    }
    // The lock lies beyond the record, which stays readable for the messages of others.
    OVERLAPPED beyond = {};
    beyond.OffsetHigh = 1;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond)) {
        const DWORD error = GetLastError();
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
            m_state = State::Busy;
            m_holder = ParseRecord(readRecord(file));
            CheckRunning(m_holder);
        } else {
            m_detail = qt_error_string(int(error));
        }
        CloseHandle(file);
        return;
    }
    if (writable) {
        // The record only names the holder in others' messages: the lock holds without it.
        const QByteArray record = Record();
        DWORD written = 0;
        OVERLAPPED start = {};
        if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file))
            WriteFile(file, record.constData(), DWORD(record.size()), &written, &start);
    }
    m_handle = reinterpret_cast<qintptr>(file);
    m_ownsFile = writable;
    m_state = State::Held;
}

FileLock::~FileLock() {
    if (m_handle == -1)
        return;
    // Closing releases the lock; the file goes unless someone has it open, who then holds it or
    // leaves it for the next one.
    CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    if (m_ownsFile)
        DeleteFileW(nativeName(m_path).c_str());
}
