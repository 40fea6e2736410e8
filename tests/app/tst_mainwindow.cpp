#include "Recorders.h"
#include "TestAppFolder.h"
#include "app/frmFunnels.h"
#include "catalogue/BuiltInProducts.h"
#include "funnel/ConnectorPicture.h"
#include "funnel/FunnelItemPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

class tst_MainWindow : public QObject {
    Q_OBJECT

private slots:
    void startUpInAFreshFolder() {
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

    void startUpKeepsAnExistingProductsFolder() {
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

    void installedWindowUsesTheUsersFolders() {
        TestAppFolder shipped;
        QTemporaryDir home;
        const AppRoots roots = AppRoots::Installed(shipped.path(), home.path() + "/data",
                                                   home.path() + "/cache", home.path() + "/Documents");
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(roots, messages, shell);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(QFileInfo(home.path() + "/data/veltrano/myproducts/demo-product/download.txt").isFile());
        QVERIFY(QFileInfo(home.path() + "/cache/veltrano/temp").isDir());
        QCOMPARE(window.panel(0)->cboProduct->itemText(20), QString("My Products: Demo Product"));

        QTest::mouseClick(window.cmdOutput, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{home.path() + "/Documents/Veltrano"});
        QTimer::singleShot(0, [&] {
            QWidget* help = QApplication::activeModalWidget();
            QVERIFY(help);
            QTest::mouseClick(help->findChild<QPushButton*>("cmdMyProducts"), Qt::LeftButton);
            help->close();
        });
        window.lblMyProducts->click();
        QCOMPARE(shell.opened.last(), home.path() + "/data/veltrano/myproducts");
    }

    void installedFoldersThatCannotBeMadeAreReported() {
        TestAppFolder shipped;
        QTemporaryDir home;
        QFile blocker(home.path() + "/cache");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(AppRoots::Installed(shipped.path(), home.path() + "/data", home.path() + "/cache",
                                              home.path() + "/Documents"),
                          messages, shell);
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.lastTitle(), QString("Important"));
        QVERIFY2(messages.lastText().contains(home.path() + "/cache/veltrano/temp"),
                 qPrintable(messages.lastText()));
        // The folders that could be made are there: the user's products among them.
        QCOMPARE(window.panel(0)->cboProduct->itemText(20), QString("My Products: Demo Product"));
        QVERIFY(QFileInfo(home.path() + "/Documents/Veltrano").isDir());
    }

    void productsFolderThatCannotBeMadeIsReported() {
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

    void onlyTheFrontEndShowsAtStart() {
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

    void addPickAndRemoveThroughTheWindow() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.show();
        FunnelItemPanel* front = window.panel(0);
        FunnelItemPanel* upsell = window.panel(1);

        QTest::mouseClick(front->cmdAddUpsell, Qt::LeftButton);
        QVERIFY(upsell->isVisible());
        QVERIFY(window.imgFunnel(0)->isVisible());
        QVERIFY(!front->cmdAddUpsell->isEnabled());
        QVERIFY(upsell->cmdAddUpsell->isEnabled());
        QVERIFY(upsell->cmdAddDownsell->isEnabled());
        QVERIFY(upsell->lblRemoveDownsell->isVisible());

        // Pick a product as the user does: choose an entry of the list.
        const int index = upsell->cboProduct->findText("Webinar Wealth");
        upsell->cboProduct->setCurrentIndex(index);
        emit upsell->cboProduct->textActivated("Webinar Wealth");
        QCOMPARE(upsell->txtProductDownloadUrl->text(),
                 QString("https://downloads.example.com/dld/webinarwealth.html"));
        QTest::keyClick(upsell->txtProductDownloadUrl, Qt::Key_End);
        QTest::keyClicks(upsell->txtProductDownloadUrl, "/x");
        QCOMPARE(window.model().Slot(1).txtProductDownloadUrl,
                 QString("https://downloads.example.com/dld/webinarwealth.html/x"));

        QTest::mouseClick(upsell->cmdAddDownsell, Qt::LeftButton);
        upsell->lblRemoveDownsell->click();
        QCOMPARE(messages.lastTitle(), QString("Ooops"));
        QCOMPARE(messages.lastText(), QString("The selected funnel item can' be deleted (has child items)"));
        QVERIFY(upsell->isVisible());

        window.panel(3)->lblRemoveDownsell->click();
        upsell->lblRemoveDownsell->click();
        QVERIFY(!upsell->isVisible());
        QVERIFY(!window.imgFunnel(0)->isVisible());
        QVERIFY(front->cmdAddUpsell->isEnabled());

        QTest::mouseClick(front->cmdAddUpsell, Qt::LeftButton);
        QCOMPARE(upsell->cboProduct->currentText(), QString("Webinar Wealth"));
        QCOMPARE(upsell->txtProductDownloadUrl->text(),
                 QString("https://downloads.example.com/dld/webinarwealth.html/x"));
    }

    void secondUpsellsDownsellThroughTheWindow() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.show();
        QTest::mouseClick(window.panel(0)->cmdAddUpsell, Qt::LeftButton);
        QTest::mouseClick(window.panel(1)->cmdAddUpsell, Qt::LeftButton);
        FunnelItemPanel* second = window.panel(2);
        QVERIFY(second->isVisible());
        QVERIFY(window.imgFunnel(1)->isVisible());
        QVERIFY(!window.panel(1)->cmdAddUpsell->isEnabled());
        QVERIFY(!window.panel(4)->isVisible());

        QTest::mouseClick(second->cmdAddDownsell, Qt::LeftButton);
        QVERIFY(window.panel(4)->isVisible());
        QVERIFY(window.imgFunnel(3)->isVisible());
        QVERIFY(!window.imgFunnel(2)->isVisible());
        QVERIFY(!window.panel(3)->isVisible());
        QVERIFY(!second->cmdAddDownsell->isEnabled());
        QVERIFY(window.panel(4)->lblRemoveDownsell->isVisible());

        // With its downsell shown, the second upsell cannot go; without it, it can.
        second->lblRemoveDownsell->click();
        QCOMPARE(messages.lastTitle(), QString("Ooops"));
        QVERIFY(second->isVisible());
        window.panel(4)->lblRemoveDownsell->click();
        QVERIFY(!window.panel(4)->isVisible());
        QVERIFY(second->cmdAddDownsell->isEnabled());
    }

    void previewRefusals_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("no product") << ""
                                    << "Missing Info"
                                    << "Please select a product first.";
        QTest::newRow("custom") << "My Products: Demo Product"
                                << "Preview Not Available."
                                << "Preview not available for custom products.";
    }
    void previewRefusals() {
        QFETCH(QString, product);
        QFETCH(QString, title);
        QFETCH(QString, text);
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.model().SetProductText(0, product);
        window.panel(0)->lblPreview->click();
        QCOMPARE(messages.lastTitle(), title);
        QCOMPARE(messages.lastText(), text);
        QVERIFY(window.model().lblItemPreview.isEmpty());
    }

    void previewShowsTheSlotsOwnPage_data() {
        QTest::addColumn<bool>("removePage");
        QTest::addColumn<QString>("expected");
        QTest::newRow("page") << false << "Kindle Publishing Empire";
        QTest::newRow("missing page") << true << "Page not found";
    }
    void previewShowsTheSlotsOwnPage() {
        QFETCH(bool, removePage);
        QFETCH(QString, expected);
        TestAppFolder app;
        if (removePage)
            QFile::remove(app.file("productspro/kindlepublishingempire/preview.html"));
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.model().AddUpsell(0);
        window.model().AddDownsell(1);
        window.model().SetProductText(0, "Webinar Wealth");
        window.model().SelectProduct(0, window.catalogue());
        window.model().SetProductText(3, "Kindle Publishing Empire");
        window.model().SetDownloadUrl(3, "typed");

        QString shownText;
        QTimer::singleShot(0, [&] {
            QWidget* viewer = QApplication::activeModalWidget();
            QVERIFY(viewer);
            QCOMPARE(viewer->windowTitle(), QString("Product Viewer"));
            auto* browser = viewer->findChild<QTextBrowser*>("KelvrinBrowser1");
            shownText = browser->toPlainText();
            QTest::mouseClick(viewer->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        });
        window.panel(3)->lblPreview->click();
        QVERIFY2(shownText.contains(expected, Qt::CaseInsensitive), qPrintable(shownText.left(200)));
        QCOMPARE(window.model().lblItemPreview, QString("3"));
        // The preview resolves the slot again, replacing a typed address.
        QCOMPARE(window.model().Slot(3).txtProductDownloadUrl,
                 QString("https://downloads.example.com/dld/kindlepublishingempire.html"));
    }

    void commandsOpenFoldersAndClose() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.show();
        QTest::mouseClick(window.cmdOutput, Qt::LeftButton);
        QCOMPARE(shell.opened, QStringList{app.path() + "/output"});
        // Where nothing can show the folder, the user learns where it is.
        shell.available = false;
        QTest::mouseClick(window.cmdOutput, Qt::LeftButton);
        QVERIFY(messages.lastText().endsWith(QDir::toNativeSeparators(app.path() + "/output")));
        shell.available = true;

        // The help window is modal: press its folder button, then close it.
        QTimer::singleShot(0, [&] {
            QWidget* help = QApplication::activeModalWidget();
            QVERIFY(help);
            QCOMPARE(help->windowTitle(), QString("My Products"));
            QTest::mouseClick(help->findChild<QPushButton*>("cmdMyProducts"), Qt::LeftButton);
            QTest::mouseClick(help->findChild<QPushButton*>("cmdClose"), Qt::LeftButton);
        });
        window.lblMyProducts->click();
        QCOMPARE(shell.opened.last(), app.path() + "/myproducts");

        QTest::mouseClick(window.Command1, Qt::LeftButton);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
