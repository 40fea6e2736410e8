#include "platform/ZipPacker.h"

#include "platform/BuildError.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <zip.h>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr zip_uint32_t kFileMode = S_IFREG | 0644;
constexpr zip_uint32_t kFolderMode = S_IFDIR | 0755;
constexpr zip_uint32_t kMsDosDirectory = 0x10;

bool isCompressedImage(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("gif") || suffix == QLatin1String("jpg") ||
           suffix == QLatin1String("jpeg") || suffix == QLatin1String("png") ||
           suffix == QLatin1String("webp");
}

const QString kPartSuffix = QStringLiteral(".part");

QString zipErrorText(zip_t* archive) {
    return QString::fromUtf8(zip_strerror(archive));
}

void removeIfPresent(const QString& path) {
    // A link is removed itself; a folder of that name is not ours to remove.
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !QFile::remove(path))
        throw BuildError(BuildError::PermissionDenied, QStringLiteral("Cannot remove %1").arg(path));
}

// The one sync of a build: the finished archive, before it takes the place of an earlier one.
void flushToDisk(const QString& path) {
    QFile file(path);
    bool flushed = file.open(QIODevice::ReadOnly);
#ifdef Q_OS_UNIX
    flushed = flushed && ::fsync(file.handle()) == 0;
#endif
    if (!flushed)
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot write archive %1 to disk").arg(path));
}

// libzip gives every deflated entry fresh zlib state of about 400 KB and frees it after the
// entry. glibc hands such blocks back to the system at once and maps them anew for the next entry;
// the page faults and TLB flushes that costs take several times longer than the compression
// itself. Keeping freed memory in the heap up to a few megabytes makes packing several times
// faster.
void keepPackingMemoryInTheHeap() {
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
    });
#endif
}

// Replaces `archivePath` by the finished part file in one step. Windows refuses to replace a file
// that another program holds open (a preview, a virus scan): such a hold is usually short, so
// the move is tried again for a few seconds before the build is refused with the earlier
// archive as it was.
void moveIntoPlace(const QString& partPath, const QString& archivePath) {
    std::error_code error;
    for (int attempt = 0; attempt < 30; ++attempt) {
        std::filesystem::rename(FileSystemPath(partPath), FileSystemPath(archivePath), error);
        if (!error)
            return;
        if (!QFileInfo::exists(archivePath))
            break;
        QThread::msleep(100);
    }
    if (QFileInfo::exists(archivePath))
        throw BuildError(BuildError::FileAlreadyOpen,
                         QStringLiteral("The archive %1 cannot be replaced: another program may have it "
                                        "open. Close it there and build again; the earlier archive is "
                                        "unchanged. (%2)")
                             .arg(archivePath, QString::fromStdString(error.message())));
    throw BuildError(BuildError::PathFileAccess,
                     QStringLiteral("Cannot move the archive into place at %1: %2")
                         .arg(archivePath, QString::fromStdString(error.message())));
}

class Archive {
public:
    explicit Archive(const QString& path) {
        int error = 0;
        m_zip = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
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
        zip_source_t* source = zip_source_file(m_zip, filePath.toUtf8().constData(), 0, -1);
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

void ZipPacker::PackFolder(const QString& folder, const QString& archivePath,
                           const std::function<void()>& beforePublish) {
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        throw BuildError(BuildError::PathNotFound, QStringLiteral("Folder not found: %1").arg(folder));
    // libzip writes the archive to a file of its own beside this one and renames it to this name
    // when it is complete; the earlier archive is not touched until the final rename below.
    const QString partPath = archivePath + kPartSuffix;
    removeIfPresent(partPath);
    keepPackingMemoryInTheHeap();

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
        flushToDisk(partPath);
        if (beforePublish)
            beforePublish();

        moveIntoPlace(partPath, archivePath);
    } catch (...) {
        QFile::remove(partPath);
        throw;
    }
}

bool ZipPacker::IsTemporaryName(const QString& fileName) {
    // The part file, or the file libzip writes before renaming it to the part file's name: six
    // letters or digits from mkstemp, or eight hexadecimal digits on Windows.
    static const QRegularExpression pattern(
        QStringLiteral("^.+\\.zip\\.part(\\.[A-Za-z0-9]{6}|\\.[0-9a-fA-F]{8})?$"));
    return pattern.match(fileName).hasMatch();
}

void ZipPacker::RemoveLeftovers(const QString& folder) {
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (IsTemporaryName(entry.fileName()))
            removeIfPresent(entry.filePath());
    }
}
