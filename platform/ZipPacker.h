#pragma once

#include <QString>

// Packs a folder into a zip archive with libzip. The folder itself is the top entry and
// everything below it follows, with "/" in entry names. An existing archive is extended, never
// replaced; the new archive is written to a temporary file beside it and renamed into place, so
// a failure leaves an earlier archive as it was. Images are stored, text is deflated. Files are
// stored with mode 0644 and folders with 0755, whatever their modes on disk, so that any web
// host can read what it unpacks.
class ZipPacker {
public:
    // Throws BuildError on any failure; returns only when the archive is complete on disk.
    static void PackFolder(const QString& folder, const QString& archivePath);
};
