#include "platform/UserFile.h"

#include "platform/FileKeeping.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString cannotSave(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save %1: %2").arg(path, reason);
}

QString writeInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) || file.write(bytes) != bytes.size() ||
        !file.resize(bytes.size()) || !FileKeeping::SyncToDisk(file))
        return cannotSave(path, file.errorString());
    return {};
}

} // namespace

QString UserFile::WriteProblem(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return cannotSave(path, QStringLiteral("it is not a file."));
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (info.exists() && (!(info.permissions() & anyWrite) || !info.isWritable()))
        return cannotSave(path, QStringLiteral("the file is read-only."));
    const QFileInfo folder(info.exists() ? QFileInfo(info.canonicalFilePath()).absolutePath()
                                         : info.absolutePath());
    if (!folder.isDir())
        return cannotSave(path, QStringLiteral("the folder %1 does not exist.").arg(folder.filePath()));
    if (!folder.isWritable())
        return cannotSave(path, QStringLiteral("the folder %1 is read-only.").arg(folder.filePath()));
    return {};
}

QString UserFile::Write(const QString& path, const QByteArray& bytes) {
    if (const QString problem = WriteProblem(path); !problem.isEmpty())
        return problem;
    const QFileInfo info(path);
    const QString existing = info.exists() ? info.canonicalFilePath() : QString();
    if (!existing.isEmpty() && FileKeeping::LinkCount(existing) > 1)
        return writeInPlace(existing, bytes);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotSave(path, file.errorString());
    if (!existing.isEmpty() && !FileKeeping::CopyOwner(existing, file)) {
        // Another user's file that this user may write, or a group the owner is no member of.
        file.cancelWriting();
        return writeInPlace(existing, bytes);
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return cannotSave(path, file.errorString());
    return {};
}
