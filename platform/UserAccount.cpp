#include "platform/UserAccount.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace UserAccount {

QString HomeFolder() {
    const QString fromEnvironment = qEnvironmentVariable("HOME");
    if (!fromEnvironment.isEmpty() && QFileInfo(fromEnvironment).isDir())
        return QDir::cleanPath(fromEnvironment);
#ifdef Q_OS_UNIX
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
        const QString fromDatabase = QString::fromLocal8Bit(entry->pw_dir);
        if (!fromDatabase.isEmpty() && fromDatabase != QLatin1String("/") && QFileInfo(fromDatabase).isDir())
            return QDir::cleanPath(fromDatabase);
    }
    return {};
#else
    // Windows keeps the profile folder apart from any variable a shell may have unset.
    return QDir::homePath();
#endif
}

QString PrivateFolderProblem(const QString& folder) {
#ifdef Q_OS_UNIX
    struct stat status {};
    if (lstat(QFile::encodeName(folder).constData(), &status) != 0)
        return QStringLiteral("%1 cannot be read.").arg(folder);
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("%1 is not a folder.").arg(folder);
    if (status.st_uid != geteuid())
        return QStringLiteral("%1 belongs to another user.").arg(folder);
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("Other users may change the files in %1.").arg(folder);
#else
    Q_UNUSED(folder);
#endif
    return {};
}

bool MakePrivateFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace UserAccount
