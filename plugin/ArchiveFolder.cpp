#include "plugin/ArchiveFolder.h"

#include "platform/BuildError.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>

namespace {

// The file an archive is copied to beside its place when it comes from another file system.
QString partOf(const QString& target) {
    return target + QStringLiteral(".part");
}

QString cannotGo(const QString& folder, const QString& reason) {
    return QStringLiteral("The archives cannot go to %1: %2").arg(QDir::toNativeSeparators(folder), reason);
}

} // namespace

QString ArchiveFolder::Problem(const QString& folder, const QString& fileName, const PathRules& rules) {
    const QString longest = partOf(QDir(folder).absoluteFilePath(fileName));
    if (rules.longestPath > 0 && QDir::toNativeSeparators(longest).size() > rules.longestPath)
        return cannotGo(folder, QStringLiteral("the archive's path there would be %1 characters long, and "
                                               "Windows takes at most %2. Choose a folder closer to the top "
                                               "of its drive.")
                                    .arg(QDir::toNativeSeparators(longest).size())
                                    .arg(rules.longestPath));
    // Made and removed again: only the system can tell whether the folder takes this name (its
    // permissions, a read-only mount, a path too long for it).
    QFile probe(longest);
    if (!QFileInfo::exists(longest)) {
        if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return cannotGo(folder, probe.errorString() + QLatin1Char('.'));
        probe.close();
        probe.remove();
        return {};
    }
    QTemporaryFile other(QDir(folder).filePath(QStringLiteral(".veltrano-XXXXXX")));
    if (!other.open())
        return cannotGo(folder, other.errorString() + QLatin1Char('.'));
    return {};
}

QString ArchiveFolder::MoveInto(const QString& archive, const QString& folder) {
    const QString target = QDir(folder).filePath(QFileInfo(archive).fileName());
    std::error_code error;
    std::filesystem::rename(FileSystemPath(archive), FileSystemPath(target), error);
    if (!error)
        return target;
    // Another file system: copied beside the target first.
    const QString part = partOf(target);
    QFile::remove(part);
    if (!QFile::copy(archive, part))
        throw BuildError(BuildError::PathFileAccess, QStringLiteral("Cannot write %1").arg(part));
    std::filesystem::rename(FileSystemPath(part), FileSystemPath(target), error);
    if (error) {
        QFile::remove(part);
        throw BuildError(
            BuildError::PathFileAccess,
            QStringLiteral("Cannot replace %1: %2").arg(target, QString::fromStdString(error.message())));
    }
    QFile::remove(archive);
    return target;
}
