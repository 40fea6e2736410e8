#include "platform/KillFldr.h"

#include "platform/PathRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isSeparator(QChar c) {
    return PathRules::Native().IsSeparator(c);
}

bool isHiddenName(const QString& name) {
    return name.startsWith(QLatin1Char('.'));
}

// True when `path` lies strictly below `folder`. Symbolic links in the folders above `path`
// are resolved, so a link cannot smuggle the check elsewhere; `path` itself is taken as named.
bool isStrictlyBelow(const QString& path, const QString& folder) {
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return false;
    const QFileInfo target(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString name = target.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString parent = QFileInfo(target.path()).canonicalFilePath();
    if (parent.isEmpty())
        return false;
    // Compared as the system compares names: on Windows "C:/App" and "c:\\app" are one folder.
    return PathRules::Native().IsSameOrBelow(parent, root);
}

bool removeFile(const QString& filePath) {
    const QFileInfo info(filePath);
    if (!info.isSymLink()) {
        // A read-only file is made writable first, as a plain file would be.
        if (!QFile::setPermissions(filePath, QFile::permissions(filePath) | QFileDevice::WriteOwner |
                                                 QFileDevice::WriteUser))
            return false;
    }
    return QFile::remove(filePath);
}

} // namespace

QString SafeDir(const QString& pattern, int attributes) {
    int cut = -1;
    for (int i = 0; i < pattern.size(); ++i)
        if (isSeparator(pattern.at(i)))
            cut = i;
    if (cut < 0)
        return {};
    const QDir folder(pattern.left(cut));
    if (!folder.exists())
        return {};

    const auto entries = folder.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const bool hidden = isHiddenName(entry.fileName());
        // A link is an entry of its own, never the folder it points to.
        const bool folderEntry = entry.isDir() && !entry.isSymLink();
        if (folderEntry) {
            if ((attributes & ListDirectory) && (!hidden || (attributes & ListHidden)))
                return entry.fileName();
            continue;
        }
        if (!hidden || (attributes & ListHidden))
            return entry.fileName();
    }
    return {};
}

bool KillFolder(const QString& path, const QStringList& writableRoots) {
    QString folder = path;
    if (!folder.isEmpty() && isSeparator(folder.back()))
        folder.chop(1);
    for (const QString& root : writableRoots)
        if (isStrictlyBelow(folder, root))
            return KillFolder(folder, root);
    return false;
}

bool KillFolder(const QString& path, const QString& applicationFolder) {
    QString folder = path;
    if (!folder.isEmpty() && isSeparator(folder.back()))
        folder.chop(1);
    if (!isStrictlyBelow(folder, applicationFolder))
        return false;
    if (QFileInfo(folder).isSymLink())
        return false;

    const QString pattern = folder + QStringLiteral("/*.*");
    for (;;) {
        const QString file = SafeDir(pattern, ListReadOnly | ListHidden | ListSystem);
        if (file.isEmpty())
            break;
        if (!removeFile(folder + QLatin1Char('/') + file))
            return false;
    }
    for (;;) {
        const QString sub = SafeDir(pattern, ListDirectory);
        if (sub.isEmpty())
            break;
        if (!KillFolder(folder + QLatin1Char('/') + sub, applicationFolder))
            return false;
    }
    return QDir().rmdir(folder);
}

QString GetFileName(const QString& path, bool withExtension) {
    int lastSeparator = -1;
    for (int i = 0; i < path.size(); ++i)
        if (isSeparator(path.at(i)))
            lastSeparator = i;
    QString name = path.mid(lastSeparator + 1);
    if (!withExtension) {
        const int point = name.indexOf(QLatin1Char('.'));
        if (point >= 0)
            name.truncate(point);
    }
    return name;
}
