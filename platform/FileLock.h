#pragma once

#include <QByteArray>
#include <QString>

// A lock that stands for a file beside what it guards, held as the system's lock on the open file
// (flock, or LockFileEx on Windows). The system drops that lock when its process ends in any way,
// so nothing a killed holder leaves in the file (nothing, part of its record, a process id that
// another program now has, another host's name) keeps anyone out: only a running holder does.
// The file records who holds it, for the message of whoever finds it busy, and goes on release.
// One implementation per system (FileLockPosix.cpp, FileLockWindows.cpp).
class FileLock {
public:
    enum class State {
        Held,
        // Another process holds it.
        Busy,
        // A folder stands in the lock file's place.
        FolderInPlace,
        // The lock file can't be made: its folder takes no new files.
        NotCreatable,
        // Another user's lock file that this user can neither open nor replace.
        OthersFile,
        Failed,
    };

    // Who holds a lock, as its file records it.
    struct Holder {
        qint64 pid = 0;
        QString program;
        QString host;
        QByteArray machineId;
        QByteArray bootId;
        // Filled in by CheckRunning.
        QString user;
        bool running = false;
    };

    // Tries once, without waiting.
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State state() const { return m_state; }
    bool isHeld() const { return m_state == State::Held; }
    const QString& path() const { return m_path; }
    // Busy: the holder, as far as the file and the system tell.
    const Holder& holder() const { return m_holder; }
    // OthersFile: the user who owns the lock file. Failed: the system's reason.
    const QString& detail() const { return m_detail; }

    // What a holder writes into the file: the layout Qt's QLockFile reads (process id, program,
    // host, machine and boot ids), so that older versions take a killed build's file for stale.
    static QByteArray Record();
    // The holder a record names; pid 0 when it names none (empty, torn, not a record).
    static Holder ParseRecord(const QByteArray& record);
    // True when the record was written on this machine (by its id, else by its host name).
    static bool IsThisMachine(const Holder& holder);
    // The same, and since the machine last started.
    static bool IsThisBoot(const Holder& holder);
    // Sets `holder.running` when it names a running process of this program on this machine (a
    // process id that another program now has does not count), and its user where known.
    static void CheckRunning(Holder& holder);
    // The file name of this process's executable.
    static QString ThisProgram();

private:
    QString m_path;
    State m_state = State::Failed;
    Holder m_holder;
    QString m_detail;
    // A file descriptor, or a Windows HANDLE.
    qintptr m_handle = -1;
    // The holder may rewrite and remove the file (not when it took another user's file over).
    bool m_ownsFile = false;
};
