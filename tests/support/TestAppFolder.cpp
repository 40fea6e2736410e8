#include "TestAppFolder.h"

#include "platform/KelvrinFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

TestAppFolder::TestAppFolder() {
    KelvrinFile::CopyFolder(QStringLiteral(VELTRANO_DATA_DIR), m_dir.path());
    QDir(m_dir.path()).mkdir(QStringLiteral("temp"));
    QDir(m_dir.path()).mkdir(QStringLiteral("output"));
    // A program copied in beside the data runs as the portable copy it is in the build folder.
    write(QStringLiteral("portable.txt"), "portable");
}

void TestAppFolder::write(const QString& relative, const QByteArray& content) const {
    const QString path = file(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    if (out.open(QIODevice::WriteOnly))
        out.write(content);
}

QByteArray TestAppFolder::read(const QString& relative) const {
    QFile in(file(relative));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

QMap<QString, QByteArray> FolderSnapshot(const QString& folder) {
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        result.insert(path.mid(folder.size()), file.open(QIODevice::ReadOnly) ? file.readAll() : "(folder)");
    }
    return result;
}
