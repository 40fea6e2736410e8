#include "Recorders.h"
#include "TestAppFolder.h"
#include "app/frmFunnels.h"
#include "catalogue/BuiltInProducts.h"
#include "funnel/FunnelItemPanel.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QApplication>

class tst_MainWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpInAFreshFolder()
    {
        TestAppFolder app;
        QDir(app.file("myproducts")).removeRecursively();
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);

        QCOMPARE(window.windowTitle(), QString("Veltrano Pro 2.6 "));
        QCOMPARE(window.lblAppName->text(), QString("Veltrano"));
        QVERIFY(QFileInfo(app.file("myproducts")).isDir());
        QVERIFY(messages.shown.isEmpty());
        for (int n = 0; n < 5; ++n) {
            QComboBox* list = window.panel(n)->cboProduct;
            QCOMPARE(list->count(), 20);
            QCOMPARE(list->currentIndex(), -1);
            QCOMPARE(list->itemText(0), BuiltInProducts::Names().first());
        }
    }

    void startUpKeepsAnExistingProductsFolder()
    {
        TestAppFolder app;
        app.write("myproducts/cool-product/download.txt", "https://example.com/c.zip");
        const QByteArray before = app.read("myproducts/demo-product/download.txt");
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        QCOMPARE(app.read("myproducts/demo-product/download.txt"), before);
        QCOMPARE(app.read("myproducts/cool-product/download.txt"), QByteArray("https://example.com/c.zip"));
        QComboBox* list = window.panel(3)->cboProduct;
        QCOMPARE(list->count(), 22);
        QCOMPARE(list->itemText(20), QString("My Products: Cool Product"));
        QCOMPARE(list->itemText(21), QString("My Products: Demo Product"));
    }

    void productsFolderThatCannotBeMadeIsReported()
    {
        TestAppFolder app;
        QDir(app.file("myproducts")).removeRecursively();
        app.write("myproducts", "a file where the folder should be");
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.lastText().contains("built-in products only"));
        QCOMPARE(window.panel(0)->cboProduct->count(), 20);
    }

    void onlyTheFrontEndShowsAtStart()
    {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.show();
        QVERIFY(window.panel(0)->isVisible());
        QVERIFY(!window.panel(0)->lblRemoveDownsell->isVisible());
        for (int n = 1; n < 5; ++n)
            QVERIFY(!window.panel(n)->isVisible());
        for (int c = 0; c < 4; ++c)
            QVERIFY(!window.imgFunnel(c)->isVisible());
        QCOMPARE(window.panel(0)->geometry(), QRect(24, 72, 334, 241));
        QCOMPARE(window.panel(4)->geometry(), QRect(747, 369, 334, 199));
    }

    void commandsOpenFoldersAndClose()
    {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.show();
        QTest::mouseClick(window.cmdOutput, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{app.path() + "/output"});

        // The help window is modal: press its folder button, then close it.
        QTimer::singleShot(0, [&] {
            QWidget* help = QApplication::activeModalWidget();
            QVERIFY(help);
            QCOMPARE(help->windowTitle(), QString("My Products"));
            QTest::mouseClick(help->findChild<QPushButton*>("cmdMyProducts"), Qt::LeftButton);
            QTest::mouseClick(help->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        });
        emit window.lblMyProducts->linkActivated("#myproducts");
        QCOMPARE(shell.opened.last(), app.path() + "/myproducts");

        QTest::mouseClick(window.Command1, Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
