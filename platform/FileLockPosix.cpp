#include "platform/FileLock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString userName(uid_t uid) {
    if (const passwd* entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("with id %1").arg(uid);
}

QByteArray readRecord(int fd) {
    QByteArray record;
    char buffer[512];
    while (record.size() < 4096) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, off_t(record.size()));
        if (n <= 0)
            break;
        record.append(buffer, n);
    }
    return record;
}

bool namesTheOpenFile(int fd, const QByteArray& path) {
    struct stat open = {};
    struct stat named = {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// The file name of the executable behind /proc/<pid>/exe; empty with `errno` set when unreadable.
QString executableName(const QByteArray& procEntry) {
    char target[PATH_MAX];
    const ssize_t size = ::readlink((procEntry + "/exe").constData(), target, sizeof target - 1);
    if (size <= 0)
        return {};
    QString name = QFileInfo(QFile::decodeName(QByteArray(target, size))).fileName();
    // The executable was replaced while the process ran.
    if (name.endsWith(QLatin1String(" (deleted)")))
        name.chop(10);
    return name;
}

} // namespace

QString FileLock::ThisProgram() {
    const QString name = executableName("/proc/self");
    if (!name.isEmpty() || !QCoreApplication::instance())
        return name;
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

void FileLock::CheckRunning(Holder& holder) {
    holder.running = false;
    if (holder.pid <= 0 || holder.pid > INT_MAX || !IsThisBoot(holder))
        return;
    if (::kill(pid_t(holder.pid), 0) != 0 && errno == ESRCH)
        return;
    const QByteArray proc = "/proc/" + QByteArray::number(holder.pid);
    struct stat info = {};
    if (::stat(proc.constData(), &info) != 0) {
        // No process file system: the process id is all there is to go by.
        holder.running = !QFileInfo::exists(QStringLiteral("/proc/self"));
        return;
    }
    holder.user = userName(info.st_uid);
    const QString program = executableName(proc);
    // Another user's process hides its executable (EACCES); an ended one not yet reaped has none.
    if (program.isEmpty())
        holder.running = errno == EACCES;
    else
        holder.running = holder.program.isEmpty() || program == holder.program;
}

FileLock::FileLock(const QString& path)
    : m_path(path) {
    const QByteArray name = QFile::encodeName(path);
    // A holder removes the file on release: whoever opened it just before then locks a file that no
    // longer has the name, and tries again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        bool writable = true;
        int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EACCES && QFileInfo::exists(path)) {
            // Another user's file: locking needs reading only.
            writable = false;
            fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            const int error = errno;
            struct stat info = {};
            if (error == EISDIR)
                m_state = State::FolderInPlace;
            else if (error == EACCES && ::lstat(name.constData(), &info) == 0) {
                m_state = State::OthersFile;
                m_detail = userName(info.st_uid);
            } else if (error == EACCES || error == EROFS || error == ENOENT) {
                m_state = State::NotCreatable;
            } else {
                m_state = State::Failed;
                m_detail = error == ELOOP ? QStringLiteral("it is a symbolic link")
                                          : QString::fromLocal8Bit(std::strerror(error));
            }
            return;
        }
        struct stat info = {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            m_state = S_ISDIR(info.st_mode) ? State::FolderInPlace : State::Failed;
            m_detail = QStringLiteral("it is not a file");
            ::close(fd);
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                m_state = State::Busy;
                m_holder = ParseRecord(readRecord(fd));
                CheckRunning(m_holder);
            } else {
                m_state = State::Failed;
                m_detail = QString::fromLocal8Bit(std::strerror(error));
            }
            ::close(fd);
            return;
        }
        if (!namesTheOpenFile(fd, name)) {
            ::close(fd);
            continue;
        }
        if (!writable) {
            // A leftover of another user's that no one holds: replaced by one of our own where the
            // folder lets us, else held as it is.
            if (::unlink(name.constData()) == 0) {
                ::close(fd);
                continue;
            }
        } else {
            // Readable by every user, so that another one's build can tell it is held.
            if (info.st_uid == ::geteuid())
                ::fchmod(fd, 0644);
            // The record only names the holder in others' messages: the lock holds without it.
            const QByteArray record = Record();
            const bool recorded = ::ftruncate(fd, 0) == 0 &&
                                  ::pwrite(fd, record.constData(), size_t(record.size()), 0) == record.size();
            Q_UNUSED(recorded);
        }
        m_handle = fd;
        m_ownsFile = writable;
        m_state = State::Held;
        return;
    }
    // It kept changing hands all that time.
    m_state = State::Busy;
}

FileLock::~FileLock() {
    if (m_handle < 0)
        return;
    const int fd = int(m_handle);
    // Removed while still locked, so whoever opens the name afterwards makes a new file.
    const QByteArray name = QFile::encodeName(m_path);
    if (m_ownsFile && namesTheOpenFile(fd, name))
        ::unlink(name.constData());
    ::close(fd);
}
