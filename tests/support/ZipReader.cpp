#include "ZipReader.h"

#include <QFile>
#include <zip.h>

QMap<QString, ZipEntry> ReadZip(const QString& path) {
    QMap<QString, ZipEntry> entries;
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        ZipEntry entry;
        entry.compression = stat.comp_method;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(archive, zip_uint64_t(i), 0, &system, &attributes);
        entry.mode = system == ZIP_OPSYS_UNIX ? (attributes >> 16) : 0;
        if (zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0)) {
            entry.content.resize(qsizetype(stat.size));
            zip_fread(file, entry.content.data(), stat.size);
            zip_fclose(file);
        }
        entries.insert(QString::fromUtf8(stat.name), entry);
    }
    zip_close(archive);
    return entries;
}
