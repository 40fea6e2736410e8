#include "app/CommandLine.h"
#include "app/frmFunnels.h"
#include "platform/DesktopShell.h"
#include "platform/QtMessages.h"

#include <QApplication>
#include <QScreen>
#include <QTextStream>

int main(int argc, char* argv[]) {
    if (argc > 1) {
        // Commands need no display.
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunCommandLine(app.arguments().mid(1), QCoreApplication::applicationDirPath(), out, err);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QtMessages messages;
    DesktopShell shell;
    frmFunnels window(QCoreApplication::applicationDirPath(), messages, shell);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
