#pragma once

#include <QString>

#include <functional>

// Packs a folder into a zip archive with libzip. The folder itself is the top entry and
// everything below it follows, with "/" in entry names. Images are stored, text is deflated.
// Files are stored with mode 0644 and folders with 0755, whatever their modes on disk, so that
// any web host can read what it unpacks.
//
// The archive holds exactly the folder packed: an archive of the same name is replaced, never
// extended. The new archive is written to a temporary file beside it (the archive's name +
// ".part"), flushed to disk and only then renamed into place, so a failure at any point leaves
// an earlier archive as it was and no temporary file.
class ZipPacker {
public:
    // Throws BuildError on any failure; returns only when the archive is complete on disk.
    // `beforePublish` runs once the temporary archive is complete on disk and before it takes its
    // place, for what must be kept before anyone can take the archive; when it throws, the
    // temporary archive is removed and an earlier archive stays as it was.
    static void PackFolder(const QString& folder, const QString& archivePath,
                           const std::function<void()>& beforePublish = {});
    // Removes the temporary archives that interrupted runs left in `folder`. Only for a folder
    // no other packer is writing into at the same time.
    static void RemoveLeftovers(const QString& folder);
    // True for the names of the temporary files PackFolder writes.
    static bool IsTemporaryName(const QString& fileName);
};
