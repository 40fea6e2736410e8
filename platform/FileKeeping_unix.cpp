#include <QtGlobal>

#ifdef Q_OS_UNIX

#include "platform/FileKeeping.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool statOf(const QString& path, struct stat& info) {
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

int FileKeeping::LinkCount(const QString& path) {
    struct stat info;
    return statOf(path, info) ? int(info.st_nlink) : 1;
}

bool FileKeeping::CopyOwner(const QString& from, QFileDevice& to) {
    struct stat info;
    // Also the group: the owner may give the file any group they belong to, root any group at all.
    return statOf(from, info) && ::fchown(to.handle(), info.st_uid, info.st_gid) == 0;
}

bool FileKeeping::SyncToDisk(QFileDevice& file) {
    return file.flush() && ::fsync(file.handle()) == 0;
}

#endif
