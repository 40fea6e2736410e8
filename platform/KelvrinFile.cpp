#include "platform/KelvrinFile.h"

#include "platform/PathRules.h"

#include "platform/BuildError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

void KelvrinFile::LoadTextFile(QString& field, const QString& path) {
    QFile file(path);
    if (!file.exists())
        throw BuildError(BuildError::FileNotFound, QStringLiteral("File not found: %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw BuildError(BuildError::PermissionDenied,
                         QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    field = QString::fromUtf8(file.readAll());
}

void KelvrinFile::SaveTextFile(const QString& field, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const bool folderMissing = !QFileInfo(path).dir().exists();
        throw BuildError(folderMissing ? BuildError::PathNotFound : BuildError::PathFileAccess,
                         QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = field.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

void KelvrinFile::ListSubfolders(const QString& folder, QStringList& list) {
    // Windows hides by an attribute, not by a leading dot: the dot is left out by name, so the
    // lists are the same everywhere and a product being written in a dot folder never shows.
    const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (!name.startsWith(QLatin1Char('.')))
            list << name;
}

void KelvrinFile::CopyFolder(const QString& source, const QString& destination, const QString& pattern,
                             bool recurse, bool overwrite) {
    const QDir sourceDir(source);
    if (!sourceDir.exists())
        throw BuildError(BuildError::PathNotFound, QStringLiteral("Folder not found: %1").arg(source));
    if (!QDir(destination).exists())
        throw BuildError(BuildError::PathNotFound, QStringLiteral("Folder not found: %1").arg(destination));

    const QStringList nameFilters = pattern == QLatin1String("*.*") ? QStringList() : QStringList{pattern};
    const auto files =
        sourceDir.entryInfoList(nameFilters, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString target = destination + QLatin1Char('/') + file.fileName();
        if (!overwrite && QFileInfo(target).exists())
            continue;
        CopyFile(file.absoluteFilePath(), target);
    }
    if (!recurse)
        return;
    const auto folders =
        sourceDir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& folder : folders) {
        const QString target = destination + QLatin1Char('/') + folder.fileName();
        if (!QDir().mkpath(target))
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("Cannot create folder %1").arg(target));
        CopyFolder(folder.absoluteFilePath(), target, pattern, recurse, overwrite);
    }
}

void KelvrinFile::CopyFile(const QString& source, const QString& destination) {
    const QFileInfo target(destination);
    if (target.exists() || target.isSymLink()) {
        if (!target.isSymLink())
            QFile::setPermissions(destination, QFile::permissions(destination) | QFileDevice::WriteOwner);
        if (!QFile::remove(destination))
            throw BuildError(BuildError::PermissionDenied,
                             QStringLiteral("Cannot replace %1").arg(destination));
    }
    // The standard library's copy, unlike QFile::copy, does not sync the copy to disk.
    std::error_code error;
    std::filesystem::copy_file(FileSystemPath(source), FileSystemPath(destination), error);
    if (error)
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot copy %1 to %2: %3")
                             .arg(source, destination, QString::fromStdString(error.message())));
}
