#pragma once

#include <QDirIterator>
#include <QFile>
#include <QtGlobal>

#include <functional>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

// Root may write any file, which hides the refusals an ordinary user meets. Run as root, these give
// the test's folders to the user "nobody" and run the test's body as that user in a child process;
// run as anyone else, they leave the folders alone and run the body in this process.
namespace NormalUser {

inline bool IsRoot() {
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

#ifdef Q_OS_UNIX
inline uid_t Uid() {
    return IsRoot() ? ::getpwnam("nobody")->pw_uid : ::geteuid();
}

inline gid_t Gid() {
    return IsRoot() ? ::getpwnam("nobody")->pw_gid : ::getegid();
}
#endif

// Gives `folder` and everything below it to the user the body runs as.
inline void Own(const QString& folder) {
#ifdef Q_OS_UNIX
    if (!IsRoot())
        return;
    QStringList paths{folder};
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths)
        if (::lchown(QFile::encodeName(path).constData(), Uid(), Gid()) != 0)
            qFatal("Cannot give %s to nobody", qPrintable(path));
#else
    Q_UNUSED(folder);
#endif
}

// Returns what `body` returned (0 to 255), or -1 when its process did not end normally. A body run
// in a child process must not use the test macros: it reports through its result.
inline int Run(const std::function<int()>& body) {
#ifdef Q_OS_UNIX
    if (!IsRoot())
        return body();
    const uid_t uid = Uid();
    const gid_t gid = Gid();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(250);
        ::_exit(body() & 0xff);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    return body();
#endif
}

} // namespace NormalUser
