#pragma once

#include <QString>
#include <QStringList>

// Attribute masks of a folder listing: a listing always returns plain files; the mask adds the
// entries that carry the named bits. "Hidden" is a name that begins with ".".
enum ListingAttributes : int {
    ListReadOnly = 1,
    ListHidden = 2,
    ListSystem = 4,
    ListDirectory = 16,
};

// Removes `path` with everything below it. True only when the folder itself is gone at the end.
// Symbolic links are removed, never followed. Any path that is not strictly below
// `applicationFolder` is refused (false), so a bad argument can never remove the user's files.
bool KillFolder(const QString& path, const QString& applicationFolder);
// The same guard for a program with several writable roots: `path` must lie strictly below one.
bool KillFolder(const QString& path, const QStringList& writableRoots);

// The name of the first entry (by name) of a listing of `pattern` ("folder/*.*") with the given
// attribute mask, or empty text when there is none or the listing fails.
QString SafeDir(const QString& pattern, int attributes);

// The file name part of `path` (after the last separator); without the extension, the name is
// cut before its first ".".
QString GetFileName(const QString& path, bool withExtension);
