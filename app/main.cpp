#include "app/CommandLine.h"
#include "app/frmFunnels.h"
#include "platform/AppRoots.h"
#include "platform/Console.h"
#include "platform/DesktopShell.h"
#include "platform/FocusRingStyle.h"
#include "platform/QtMessages.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QSettings>
#include <QTextStream>

#include <memory>

namespace {

// The shipped data of an installed program: share/veltrano beside the bin folder.
AppRoots rootsOfThisProgram() {
    const QString executableFolder = QCoreApplication::applicationDirPath();
    return AppRoots::ForExecutable(
        executableFolder, QDir::cleanPath(executableFolder + QStringLiteral("/" VELTRANO_DATA_FROM_BIN)));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && IsCommand(QString::fromLocal8Bit(argv[1]))) {
        // Commands need no display.
        UseParentConsole();
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunCommandLine(app.arguments().mid(1), rootsOfThisProgram(), out, err);
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setApplicationVersion(QStringLiteral("2.6"));
    // Ties the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELTRANO_APP_ID));
    QIcon icon;
    for (const char* size : {"32x32", "64x64", "256x256"})
        icon.addFile(QStringLiteral(":/veltrano/%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    UseFocusRingStyle();
    const AppRoots roots = rootsOfThisProgram();
    // A portable copy carries its settings along; every copy keeps its own recent files.
    const std::unique_ptr<QSettings> settings = roots.OpenSettings();
    QtMessages messages;
    DesktopShell shell;
    frmFunnels window(roots, messages, shell, settings.get());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.FitInto(screen->availableGeometry());
    window.show();
    // The toolkit has taken its own options out: what is left is a funnel file to open.
    const QStringList files = QCoreApplication::arguments().mid(1);
    if (!files.isEmpty())
        window.OpenFile(files.first());
    return app.exec();
}
