#pragma once

#include <QByteArray>
#include <QString>

// Writes new content into a file the user keeps outside the program's folders (a funnel file),
// keeping what the user set on it. The file is replaced at once by a complete new one (QSaveFile,
// which keeps the permissions), given back its owner and group. Where that would lose something
// the user may keep, the file is rewritten in place instead: when it has other names (hard links),
// which a replacement would part from it, and when this process may not give a new file the
// file's owner and group (another user's file this user may write). A symbolic link is followed
// to the file it names.
namespace UserFile {

// Why the file at `path` can't take new content, naming it, or empty text. A file with no write
// permission at all counts as read-only even for a user who could override that, and the file's
// folder must take new files.
QString WriteProblem(const QString& path);
// Returns an error message naming the file, or empty text.
QString Write(const QString& path, const QByteArray& bytes);

} // namespace UserFile
