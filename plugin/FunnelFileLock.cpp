#include "plugin/FunnelFileLock.h"

#include "platform/FileLock.h"

#include <QFileInfo>

namespace {

// Who holds the lock, in words, or empty text when its file does not tell.
QString holderOf(const FileLock::Holder& holder) {
    if (holder.pid <= 0)
        return {};
    const QString program =
        holder.program.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder.program);
    if (!FileLock::IsThisMachine(holder))
        return holder.host.isEmpty() ? QString()
                                     : QStringLiteral("process %1%2 on the computer %3")
                                           .arg(holder.pid)
                                           .arg(program, holder.host);
    if (!holder.running)
        return {};
    return holder.user.isEmpty()
               ? QStringLiteral("process %1%2").arg(holder.pid).arg(program)
               : QStringLiteral("process %1%2 of the user %3").arg(holder.pid).arg(program, holder.user);
}

} // namespace

QString FunnelFileLock::LockPath(const QString& funnelPath) {
    const QFileInfo info(funnelPath);
    const QString canonical = info.canonicalFilePath();
    return (canonical.isEmpty() ? info.absoluteFilePath() : canonical) + QStringLiteral(".lock");
}

FunnelFileLock::FunnelFileLock(const QString& funnelPath)
    : m_lock(std::make_unique<FileLock>(LockPath(funnelPath))) {
    const QString lockPath = m_lock->path();
    switch (m_lock->state()) {
    case FileLock::State::Held:
        return;
    case FileLock::State::Busy: {
        m_busy = true;
        const QString holder = holderOf(m_lock->holder());
        m_problem =
            QStringLiteral("%1 is being built or saved by another Veltrano. Wait until that is finished, "
                           "then try again.")
                .arg(funnelPath);
        if (!holder.isEmpty())
            m_problem += QStringLiteral(" Its lock %1 is held by %2.").arg(lockPath, holder);
        return;
    }
    case FileLock::State::FolderInPlace:
        m_problem = QStringLiteral("Cannot lock %1: a folder %2 stands where its lock file goes. Remove or "
                                   "rename that folder.")
                        .arg(funnelPath, lockPath);
        return;
    case FileLock::State::NotCreatable:
        m_problem = QStringLiteral("Cannot lock %1: its folder %2 takes no new files.")
                        .arg(funnelPath, QFileInfo(lockPath).absolutePath());
        return;
    case FileLock::State::OthersFile:
        // Whether its owner's build still runs can't be told: nothing may be written meanwhile.
        m_busy = true;
        m_problem =
            QStringLiteral("Cannot lock %1: its lock file %2 belongs to the user %3, and you may "
                           "neither read nor replace it. It is left while %3 builds or saves the "
                           "file; if no one does, ask %3 or the computer's administrator to remove it.")
                .arg(funnelPath, lockPath, m_lock->detail());
        return;
    case FileLock::State::Failed:
        m_problem = QStringLiteral("Cannot lock %1 with %2: %3.").arg(funnelPath, lockPath, m_lock->detail());
        return;
    }
}

FunnelFileLock::~FunnelFileLock() = default;
