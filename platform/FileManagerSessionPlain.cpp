#include "platform/FileManagerSession.h"

#include <QDesktopServices>
#include <QUrl>

// Systems without the freedesktop service: the system's own handler opens folders.
FileManagerHandOff::Services FileManagerSession() {
    return {[] { return false; }, [](const QString&, const QStringList&) { return false; },
            []() -> std::optional<QStringList> { return QStringList(); },
            [](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }};
}
