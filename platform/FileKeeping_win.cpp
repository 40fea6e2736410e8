#include <QtGlobal>

#ifdef Q_OS_WIN

#include "platform/FileKeeping.h"

#include <QDir>
#include <QFileDevice>

#include <io.h>
#include <windows.h>

int FileKeeping::LinkCount(const QString& path) {
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 1;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = ::GetFileInformationByHandle(handle, &information);
    ::CloseHandle(handle);
    return known ? int(information.nNumberOfLinks) : 1;
}

// A replaced file takes the permissions its folder passes on, as a file saved by any Windows
// program does; there is no owner to give back.
bool FileKeeping::CopyOwner(const QString&, QFileDevice&) {
    return true;
}

bool FileKeeping::SyncToDisk(QFileDevice& file) {
    if (!file.flush())
        return false;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle);
}

#endif
