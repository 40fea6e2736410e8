#pragma once

#include <QString>

#include <memory>

class FileLock;

// Keeps two builds of one funnel file apart, also builds in two application folders, which the
// application folder's own lock does not see: otherwise both would draw an identifier for a new
// funnel and the file would keep only one of them. Saving the file from the window takes it too.
//
// The lock is a file beside the funnel file (its name + ".lock", removed when the lock goes),
// held as the system's lock on it (see FileLock): only a running build or save keeps others out,
// whatever a killed one left in the file.
class FunnelFileLock {
public:
    // Tries once, without waiting.
    explicit FunnelFileLock(const QString& funnelPath);
    ~FunnelFileLock();
    FunnelFileLock(const FunnelFileLock&) = delete;
    FunnelFileLock& operator=(const FunnelFileLock&) = delete;

    bool isHeld() const { return m_problem.isEmpty(); }
    // Another build or save holds the lock, or may: nothing may be written to the funnel file.
    bool isBusy() const { return m_busy; }
    // Why the lock is not held, naming the funnel file; empty when it is.
    const QString& problem() const { return m_problem; }

    // The lock file of a funnel file: every name of the file that resolves alike shares one.
    static QString LockPath(const QString& funnelPath);

private:
    std::unique_ptr<FileLock> m_lock;
    QString m_problem;
    bool m_busy = false;
};
