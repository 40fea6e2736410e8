#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// An archive read back with libzip: every entry with its content, compression and Unix mode.
struct ZipEntry {
    QByteArray content;
    int compression = 0;
    unsigned mode = 0;
};

QMap<QString, ZipEntry> ReadZip(const QString& path);
