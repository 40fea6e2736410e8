#include "plugin/FunnelFileLock.h"

#include <QFileInfo>
#include <QLockFile>
#include <QThread>

namespace {

bool holderKnown(const QLockFile& lock) {
    for (int look = 0; look < 5; ++look) {
        if (lock.getLockInfo(nullptr, nullptr, nullptr))
            return true;
        QThread::msleep(60);
    }
    return false;
}

} // namespace

FunnelFileLock::FunnelFileLock(const QString& funnelPath) {
    // Every name of the file that resolves alike shares one lock.
    const QFileInfo info(funnelPath);
    const QString canonical = info.canonicalFilePath();
    const QString lockPath =
        (canonical.isEmpty() ? info.absoluteFilePath() : canonical) + QStringLiteral(".lock");
    m_lock = std::make_unique<QLockFile>(lockPath);
    // A build may take longer than any fixed time: only a lock whose process is gone is stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return;
    // A lock file without a holder's id is one a build was killed in the middle of making; one
    // being made right now gets its id within microseconds, so a few tenths of a second tell.
    if (m_lock->error() == QLockFile::LockFailedError && !holderKnown(*m_lock) &&
        m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return;
    m_busy = m_lock->error() == QLockFile::LockFailedError;
    m_problem = m_busy ? QStringLiteral("%1 is being built or saved by another Veltrano. Wait until that is "
                                        "finished, then try again.")
                             .arg(funnelPath)
                       : QStringLiteral("Cannot lock %1: its folder %2 takes no new files.")
                             .arg(funnelPath, info.absolutePath());
}

FunnelFileLock::~FunnelFileLock() = default;
