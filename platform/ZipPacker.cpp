#include "platform/ZipPacker.h"

#include "platform/BuildError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <sys/stat.h>
#include <zip.h>

namespace {

constexpr zip_uint32_t kFileMode = S_IFREG | 0644;
constexpr zip_uint32_t kFolderMode = S_IFDIR | 0755;
constexpr zip_uint32_t kMsDosDirectory = 0x10;

bool isCompressedImage(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("gif") || suffix == QLatin1String("jpg") ||
           suffix == QLatin1String("jpeg") || suffix == QLatin1String("png");
}

QString zipErrorText(zip_t* archive) {
    return QString::fromUtf8(zip_strerror(archive));
}

class Archive {
public:
    explicit Archive(const QString& path) {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, &error);
        if (!m_zip) {
            zip_error_t zipError;
            zip_error_init_with_code(&zipError, error);
            const QString text = QString::fromUtf8(zip_error_strerror(&zipError));
            zip_error_fini(&zipError);
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("Cannot open archive %1: %2").arg(path, text));
        }
    }
    ~Archive() {
        if (m_zip)
            zip_discard(m_zip);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    void addFolder(const QString& entryName) {
        const QByteArray name = entryName.toUtf8();
        zip_int64_t index = zip_name_locate(m_zip, name.constData(), 0);
        if (index < 0)
            index = zip_dir_add(m_zip, name.constData(), ZIP_FL_ENC_UTF_8);
        if (index < 0)
            fail(entryName);
        setMode(index, (kFolderMode << 16) | kMsDosDirectory);
    }

    void addFile(const QString& entryName, const QString& filePath) {
        zip_source_t* source = zip_source_file(m_zip, QFile::encodeName(filePath).constData(), 0, -1);
        if (!source)
            fail(filePath);
        const QByteArray name = entryName.toUtf8();
        const zip_int64_t index =
            zip_file_add(m_zip, name.constData(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            fail(entryName);
        }
        const zip_int32_t method = isCompressedImage(entryName) ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(m_zip, zip_uint64_t(index), method, 0) < 0)
            fail(entryName);
        setMode(index, kFileMode << 16);
    }

    void close(const QString& path) {
        if (zip_close(m_zip) < 0)
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("Cannot write archive %1: %2").arg(path, zipErrorText(m_zip)));
        m_zip = nullptr;
    }

private:
    void setMode(zip_int64_t index, zip_uint32_t attributes) {
        if (zip_file_set_external_attributes(m_zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, attributes) < 0)
            fail(QStringLiteral("attributes"));
    }

    [[noreturn]] void fail(const QString& what) {
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot add %1 to the archive: %2").arg(what, zipErrorText(m_zip)));
    }

    zip_t* m_zip = nullptr;
};

} // namespace

void ZipPacker::PackFolder(const QString& folder, const QString& archivePath) {
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        throw BuildError(BuildError::PathNotFound, QStringLiteral("Folder not found: %1").arg(folder));
    const QString partPath = archivePath + QStringLiteral(".part");
    QFile::remove(partPath);
    if (QFileInfo::exists(archivePath) && !QFile::copy(archivePath, partPath))
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot copy archive %1").arg(archivePath));

    try {
        Archive archive(partPath);
        const QString top = folderInfo.fileName();
        const QDir root(folderInfo.absoluteFilePath());
        archive.addFolder(top + QLatin1Char('/'));

        QStringList entries;
        QDirIterator it(root.absolutePath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            entries << it.next();
        entries.sort();
        for (const QString& path : entries) {
            const QFileInfo info(path);
            const QString entryName = top + QLatin1Char('/') + root.relativeFilePath(path);
            if (info.isSymLink())
                continue;
            if (info.isDir())
                archive.addFolder(entryName + QLatin1Char('/'));
            else if (info.isFile())
                archive.addFile(entryName, path);
        }
        archive.close(archivePath);

        std::error_code error;
        std::filesystem::rename(QFile::encodeName(partPath).toStdString(),
                                QFile::encodeName(archivePath).toStdString(), error);
        if (error)
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("Cannot move the archive into place at %1: %2")
                                 .arg(archivePath, QString::fromStdString(error.message())));
    } catch (...) {
        QFile::remove(partPath);
        throw;
    }
}
