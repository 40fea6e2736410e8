#include "TestAppFolder.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/FunnelChecks.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QByteArray kGif = "GIF89a\x01\x01";

// A funnel of the demo product in slot 0 and the custom product "kit" in slot 1.
struct KitFunnel {
    TestAppFolder app;
    FunnelModel model;

    QString refusal() {
        ProductCatalogue catalogue(app.path());
        model.SetProductText(0, "My Products: Demo Product");
        model.SelectProduct(0, catalogue);
        model.AddUpsell(0);
        model.SetProductText(1, "My Products: Kit");
        model.SelectProduct(1, catalogue);
        return FunnelRefusal(model, catalogue);
    }
};

} // namespace

class tst_FunnelChecks : public QObject {
    Q_OBJECT

private slots:
    void webAddresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("https with query") << "https://x.example/get?a=1&b=it's" << true;
        QTest::newRow("http") << "http://x.example" << true;
        QTest::newRow("scheme in capitals") << "HTTPS://X.example/a" << true;
        QTest::newRow("final CR LF") << "https://x.example/a\r\n" << true;
        QTest::newRow("final LF only") << "https://x.example/a\n" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("ftp") << "ftp://x.example/a" << false;
        QTest::newRow("script") << "javascript:alert(1)" << false;
        QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
        QTest::newRow("no host") << "https://" << false;
        QTest::newRow("no scheme") << "//x.example/a" << false;
        QTest::newRow("relative") << "x.example/a" << false;
        QTest::newRow("blank inside") << "https://x.example/a b" << false;
        QTest::newRow("leading blank") << " https://x.example/a" << false;
        QTest::newRow("quote and PHP") << "https://x/\"><?php echo php_uname(); ?>" << false;
        QTest::newRow("angle brackets") << "https://x.example/<b>" << false;
    }
    void webAddresses() {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QCOMPARE(IsWebAddress(address), accepted);
    }

    void soundFunnelPasses() {
        KitFunnel f;
        f.app.write("myproducts/kit/salespage.gif", kGif);
        f.app.write("myproducts/kit/download.txt", "https://files.example.com/kit.zip\r\n");
        QCOMPARE(f.refusal(), QString());
    }

    void refusals_data() {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("download");
        QTest::addColumn<QStringList>("named");
        const QByteArray url = "https://files.example.com/kit.zip";
        QTest::newRow("PHP in the address")
            << "salespage.gif" << kGif << QByteArray("https://x/\"><?php echo php_uname(); ?>")
            << QStringList{"\"My Products: Kit\" (Upsell #1)", "https://x/\"><?php echo php_uname(); ?>"};
        QTest::newRow("no download.txt") << "salespage.gif" << kGif << QByteArray()
                                         << QStringList{"\"My Products: Kit\"", "no download address"};
        QTest::newRow("script address") << "salespage.gif" << kGif << QByteArray("javascript:alert(1)")
                                        << QStringList{"\"My Products: Kit\"", "javascript:alert(1)"};
        QTest::newRow("only a PHP file") << "cover.php" << QByteArray("<?php system('id');") << url
                                         << QStringList{"\"My Products: Kit\"", "no sales page image"};
        QTest::newRow("PHP named as an image")
            << "salespage.gif" << QByteArray("<?php system('id');") << url
            << QStringList{"\"My Products: Kit\"", "must be a GIF", "kit/salespage.gif"};
        QTest::newRow("JPEG content, GIF name")
            << "salespage.gif" << QByteArray("\xFF\xD8\xFF\xE0") << url << QStringList{"must be a GIF"};
        QTest::newRow("empty image") << "salespage.png" << QByteArray() << url
                                     << QStringList{"must be a GIF"};
    }
    void refusals() {
        QFETCH(QString, image);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, download);
        QFETCH(QStringList, named);
        KitFunnel f;
        f.app.write("myproducts/kit/" + image, bytes);
        if (!download.isNull())
            f.app.write("myproducts/kit/download.txt", download);
        const QString refusal = f.refusal();
        for (const QString& piece : named)
            QVERIFY2(refusal.contains(piece), qPrintable(refusal));
    }

    // Links are refused and never read: a linked folder or file could ship any file of the disk.
    void symbolicLinks_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("target");
        QTest::newRow("product folder") << "myproducts/kit"
                                        << "outside";
        QTest::newRow("image") << "myproducts/kit/salespage.gif"
                               << "outside/secret.gif";
        QTest::newRow("download file") << "myproducts/kit/download.txt"
                                       << "outside/download.txt";
        QTest::newRow("unused file") << "myproducts/kit/notes.txt"
                                     << "outside/secret.gif";
    }
    void symbolicLinks() {
        QFETCH(QString, link);
        QFETCH(QString, target);
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes a shortcut on Windows: a file of its own, which the system never follows");
#endif
        KitFunnel f;
        f.app.write("outside/secret.gif", "GIF89a secret");
        f.app.write("outside/download.txt", "https://files.example.com/secret.zip");
        if (link != "myproducts/kit") {
            f.app.write("myproducts/kit/salespage.gif", kGif);
            f.app.write("myproducts/kit/download.txt", "https://files.example.com/kit.zip");
            QFile::remove(f.app.file(link));
        }
        QVERIFY(QFile::link(f.app.file(target), f.app.file(link)));
        const QString refusal = f.refusal();
        QVERIFY2(refusal.contains("symbolic link") && refusal.contains(f.app.file(link)),
                 qPrintable(refusal));
        QVERIFY(!f.model.Slot(1).txtSalesPageImage.contains("outside"));
        QVERIFY(!f.model.Slot(1).txtProductDownloadUrl.contains("secret"));
    }
};

QTEST_APPLESS_MAIN(tst_FunnelChecks)
#include "tst_funnelchecks.moc"
