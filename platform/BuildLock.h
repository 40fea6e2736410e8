#pragma once

#include <QString>

// One build at a time per application folder: held from a build's first write to its last, so
// two instances never share the work area or the output folder. A second build, in this process
// or another, is refused at once.
//
// The lock is the system's lock on an open file (flock, or LockFileEx on Windows), not the file's
// existence: the system releases it when its process ends in any way, so a build that was killed
// never keeps the next one out, and no stale lock needs telling from a live one. The file itself
// stays in place.
class BuildLock {
public:
    // Takes the lock on `path` (made when missing); throws BuildError when another build holds
    // it or it cannot be made. Released when the object goes.
    explicit BuildLock(const QString& path);
    ~BuildLock();
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

    static QString BusyMessage();

private:
    // A file descriptor, or a Windows HANDLE.
    qintptr m_handle = -1;
};
