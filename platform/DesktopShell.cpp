#include "platform/DesktopShell.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopShell::OpenFolder(const QString& folder) {
    // Handed over and not waited on; a missing file manager leaves the program as it was.
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
