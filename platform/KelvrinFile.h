#pragma once

#include <QString>
#include <QStringList>

// Whole-file text access and folder operations. Texts are bytes taken to be UTF-8; line ends are
// never changed. Failures throw BuildError: the build reports them, the catalogue catches them.
// Writes and copies are not synced to disk: every file they make is the build's scratch (the work
// area, the plugin folder), thrown away after the build. A file the user keeps needs QSaveFile.
class KelvrinFile {
public:
    static void LoadTextFile(QString& field, const QString& path);
    static void SaveTextFile(const QString& field, const QString& path);
    // Appends the bare names of the folders inside `folder`, sorted by name; hidden (dot) folders
    // and the folder entries "." and ".." are left out.
    static void ListSubfolders(const QString& folder, QStringList& list);
    // Copies every file below `source` into `destination` (which exists), sub-folders included,
    // replacing files of the same name. Symbolic links are not followed.
    static void CopyFolder(const QString& source, const QString& destination,
                           const QString& pattern = QStringLiteral("*.*"), bool recurse = true,
                           bool overwrite = true);
    // Copies one file; an existing file (or link) at `destination` is replaced, never written
    // through.
    static void CopyFile(const QString& source, const QString& destination);
};
