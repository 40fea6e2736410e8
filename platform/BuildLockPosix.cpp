#include "platform/BuildLock.h"

#include "platform/BuildError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

BuildLock::BuildLock(const QString& path) {
    // Not truncated, never removed: removing it could let two builds lock two different files.
    m_handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_handle < 0)
        throw BuildError(BuildError::PermissionDenied,
                         QStringLiteral("Cannot open the build lock %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (::flock(int(m_handle), LOCK_EX | LOCK_NB) == 0)
        return;
    const int error = errno;
    ::close(int(m_handle));
    m_handle = -1;
    if (error == EWOULDBLOCK)
        throw BuildError(BuildError::FileAlreadyOpen, BusyMessage());
    throw BuildError(
        BuildError::PermissionDenied,
        QStringLiteral("Cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

BuildLock::~BuildLock() {
    // Closing the file releases the lock.
    if (m_handle >= 0)
        ::close(int(m_handle));
}
