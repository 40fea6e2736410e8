#include "app/frmMyProducts.h"
#include "platform/DesktopShell.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The desktop as a session without a file manager service finds it: xdg-mime names the default
// handler of folders, xdg-open would start it. Both are fakes that record what they were asked.
class tst_DesktopShell : public QObject {
    Q_OBJECT

    QTemporaryDir m_desktop;

    void write(const QString& name, const QByteArray& text, bool executable = false) {
        QFile file(m_desktop.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    QByteArray openLog() {
        QFile log(m_desktop.filePath("opened"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir().mkpath(m_desktop.filePath("bin")) && QDir().mkpath(m_desktop.filePath("data/applications")));
        write("bin/xdg-mime", "#!/bin/sh\ncat \"" + m_desktop.filePath("default").toUtf8() + "\" 2>/dev/null\n", true);
        write("bin/xdg-open", "#!/bin/sh\necho \"$@\" >>\"" + m_desktop.filePath("opened").toUtf8() + "\"\n", true);
        write("data/applications/chromium.desktop", "[Desktop Entry]\nType=Application\nName=Chromium\nCategories=Network;WebBrowser;\n");
        write("data/applications/files.desktop", "[Desktop Entry]\nType=Application\nName=Files\nCategories=System;FileTools;FileManager;\n");
        qputenv("PATH", (m_desktop.filePath("bin") + ":/usr/bin:/bin").toUtf8());
        qputenv("XDG_DATA_HOME", m_desktop.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", m_desktop.filePath("nothing").toUtf8());
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    void foldersGoToAFileManagerOnly_data() {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<bool>("opened");
        QTest::newRow("a browser handles folders") << QByteArray("chromium.desktop\n") << false;
        QTest::newRow("no handler named") << QByteArray() << false;
        QTest::newRow("a handler without its desktop file") << QByteArray("gone.desktop\n") << false;
        QTest::newRow("a file manager") << QByteArray("files.desktop\n") << true;
    }
    void foldersGoToAFileManagerOnly() {
        QFETCH(QByteArray, handler);
        QFETCH(bool, opened);
        write("default", handler);
        QFile::remove(m_desktop.filePath("opened"));
        QTemporaryDir products;
        DesktopShell shell;
        frmMyProducts window(products.path(), shell);
        window.show();
        window.findChild<QPushButton*>("cmdMyProducts")->click();
        auto* note = window.findChild<QLabel*>("lblFolder");
        QVERIFY(note);
        if (opened) {
            QTRY_COMPARE(openLog(), products.path().toUtf8() + '\n');
            QVERIFY(note->isHidden());
        } else {
            // Nothing was started, and the window names the folder.
            QTest::qWait(200);
            QCOMPARE(openLog(), QByteArray());
            QVERIFY(note->isVisible());
            QVERIFY2(note->text().contains(products.path()), qPrintable(note->text()));
        }
    }
};

QTEST_MAIN(tst_DesktopShell)
#include "tst_desktopshell.moc"
