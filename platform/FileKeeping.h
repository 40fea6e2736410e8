#pragma once

class QFileDevice;
class QString;

// What rewriting a user's file must keep and Qt does not tell: the file's other names (hard links)
// and its owner. One implementation per system (FileKeeping_unix.cpp, FileKeeping_win.cpp).
namespace FileKeeping {

// How many names the file at `path` has; 1 where the system can't tell.
int LinkCount(const QString& path);
// Gives the open file `to` the owner and group of the file at `from`; false where the process may not.
bool CopyOwner(const QString& from, QFileDevice& to);
// Writes what the system holds of the open file to the disk.
bool SyncToDisk(QFileDevice& file);

} // namespace FileKeeping
