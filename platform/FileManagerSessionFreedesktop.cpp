#include "platform/FileManagerSession.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

bool offered() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // A service that is only activatable counts: the bus starts the file manager.
    return bus.interface()->isServiceRegistered(kService).value() ||
           bus.interface()->activatableServiceNames().value().contains(kService);
}

bool call(const QString& method, const QStringList& uris) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                          kService, method);
    message << uris << QString();
    // Not waited on beyond the bus's answer that the call arrived.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The categories of the desktop file xdg-open would use for folders.
std::optional<QStringList> folderHandler() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                            QStringLiteral("inode/directory")});
    // Without xdg-mime nothing is known: leave it to the desktop.
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit)
        return QStringList();
    const QString desktopFile = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    // No default named: xdg-open still has the desktop's own openers to try.
    if (desktopFile.isEmpty())
        return QStringList();
    QFile file(QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopFile));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("Categories=")))
            return line.mid(11).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return QStringList();
}

} // namespace

FileManagerHandOff::Services FileManagerSession() {
    return {offered, call, folderHandler,
            // The opener whose handler was asked about above; never waited on.
            [](const QString& folder) {
                return QProcess::startDetached(QStringLiteral("xdg-open"), {folder});
            }};
}
