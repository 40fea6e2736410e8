#include "Recorders.h"
#include "TestAppFolder.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/FunnelGenerator.h"
#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeTemplates(const TestAppFolder& app) {
    app.write("templates/metabox0.txt", "M0 #FUNNELITEM_NOSPACES#");
    app.write("templates/metabox.txt", "M #FUNNELITEM_NOSPACES#");
    app.write("templates/metaboxclosing.txt", "END");
    app.write(
        "templates/salespage-funnelitem.php",
        "<img src=\"#IMAGE#\" alt=\"#PRODUCT_NAME#\" width=\"#IMAGE_WIDTH#\" height=\"#IMAGE_HEIGHT#\"> "
        "#FUNNELITEM_BUTTON#");
    app.write("templates/downloadpage-funnelitem.php", "#DOWNLOAD_LINKS#");
}

QStringList workArea(const TestAppFolder& app) {
    QStringList files;
    QDirIterator it(app.file("temp"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(app.file("temp/").size());
    files.sort();
    return files;
}

void pick(FunnelModel& model, const TestAppFolder& app, int slot, const QString& product) {
    model.SetProductText(slot, product);
    model.SelectProduct(slot, ProductCatalogue(app.path()));
}

} // namespace

class tst_ProcessFunnel : public QObject {
    Q_OBJECT

private slots:
    void frontEndOnlyMakesSixFiles() {
        TestAppFolder app;
        writeTemplates(app);
        app.write("temp/left-over/old.txt", "from an earlier run");
        FunnelModel model;
        pick(model, app, 0, "Traffic Magnet Pro");
        KelvrinTools tools(3);
        RecordingMessages messages;
        const GenerationResult result = FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QCOMPARE(workArea(app), (QStringList{
                                    "copy/start-0.html",
                                    "funneltokens/funneltokens0-downloadpage.txt",
                                    "funneltokens/funneltokens0-salespage.txt",
                                    "images/funnelitem-0.gif",
                                    "php/download-funnelitem-0.php",
                                    "php/salespage-funnelitem-0.php",
                                }));
        QCOMPARE(result.metaboxes, QString("M0 funnelitem_0\n\nEND"));
        QCOMPARE(app.read("temp/images/funnelitem-0.gif"),
                 app.read("productspro/trafficmagnetpro/salespage.gif"));
        QCOMPARE(app.read("temp/php/salespage-funnelitem-0.php"),
                 QByteArray(
                     "<img src=\"funnelitem-0.gif\" alt=\"Traffic Magnet Pro\" width=\"600\" height=\"300\"> "
                     "funnelitem_button0"));
        QCOMPARE(app.read("temp/php/download-funnelitem-0.php"),
                 QByteArray("<li><a href=\"https://downloads.example.com/dld/trafficmagnetpro.html\" "
                            "target=\"_blank\" rel=\"noopener noreferrer\">Traffic Magnet Pro</a></li>"));
    }

    void slotNumbersAreNotCompacted() {
        TestAppFolder app;
        writeTemplates(app);
        FunnelModel model;
        model.AddUpsell(0);
        model.AddDownsell(1);
        model.AddUpsell(1);
        for (int n : {0, 1, 2, 3})
            pick(model, app, n, "Webinar Wealth");
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator generator(app.path(), tools, messages);
        generator.ProcessFunnel(model);
        QVERIFY(workArea(app).join(' ').contains("funnelitem-2"));

        // Hiding a slot and running again leaves none of its files.
        QCOMPARE(model.RemoveItem(2), FunnelModel::RemoveResult::Removed);
        const GenerationResult result = generator.ProcessFunnel(model);
        const QStringList files = workArea(app);
        QCOMPARE(files.size(), 18);
        for (const QString& file : files)
            QVERIFY2(!file.contains('2') && !file.contains('4'), qPrintable(file));
        QCOMPARE(result.metaboxes, QString("M0 funnelitem_0\nM funnelitem_1\nM funnelitem_3\n\nEND"));
    }

    // The copy is named by the slot and the format its content proves, whatever the source's name.
    void imageNames_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("copy");
        // Each a header stating 5 x 3 pixels, then bytes that are no image.
        const QByteArray gif = QByteArray("GIF89a\x05\x00\x03\x00", 10) + " image bytes";
        const QByteArray jpg =
            QByteArray("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x03\x00\x05", 11) + " image bytes";
        QTest::newRow("plain") << "salespage.gif" << gif << "funnelitem-0.gif";
        QTest::newRow("two points") << "kit.big.gif" << gif << "funnelitem-0.gif";
        QTest::newRow("base repeats") << "gif.gif" << gif << "funnelitem-0.gif";
        QTest::newRow("quote in the name") << "cover.Bob's final.JPEG" << jpg << "funnelitem-0.jpg";
        QTest::newRow("code in the name") << "z.j'.passthru('id').'.jpg" << jpg << "funnelitem-0.jpg";
        QTest::newRow("png") << "cover.png"
                             << QByteArray(
                                    "\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x00\x05\x00\x00\x00\x03",
                                    24) +
                                    " image bytes"
                             << "funnelitem-0.png";
        QTest::newRow("webp") << "cover.webp"
                              << QByteArray(
                                     "RIFF\x20\x00\x00\x00WEBPVP8L\x10\x00\x00\x00\x2F\x04\x80\x00\x00", 25) +
                                     " image bytes"
                              << "funnelitem-0.webp";
    }
    void imageNames() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, copy);
        TestAppFolder app;
        writeTemplates(app);
        app.write("myproducts/kit/" + file, bytes);
        FunnelModel model;
        pick(model, app, 0, "My Products: Kit");
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QCOMPARE(app.read("temp/images/" + copy), bytes);
        QCOMPARE(QDir(app.file("temp/images")).entryList(QDir::Files), QStringList{copy});
        QCOMPARE(
            app.read("temp/php/salespage-funnelitem-0.php"),
            ("<img src=\"" + copy + "\" alt=\"Kit\" width=\"5\" height=\"3\"> funnelitem_button0").toUtf8());
    }

    // Values reach the download page as HTML-escaped text inside a PHP string that can't be closed.
    void downloadPageHoldsValuesAsData() {
        TestAppFolder app;
        writeTemplates(app);
        app.write("templates/downloadpage-funnelitem.php", "<?php $links = '#DOWNLOAD_LINKS#';");
        app.write("myproducts/it's-<?php-x/salespage.gif", QByteArray("GIF89a\x01\x00\x01\x00", 10));
        app.write("myproducts/it's-<?php-x/download.txt", "https://x.example/a\\b?c=1&d='e'");
        FunnelModel model;
        pick(model, app, 0, "My Products: It's <?php X");
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QCOMPARE(
            app.read("temp/php/download-funnelitem-0.php"),
            QByteArray("<?php $links = '<li><a href=\"https://x.example/a\\\\b?c=1&amp;d=&#039;e&#039;\" "
                       "target=\"_blank\" rel=\"noopener noreferrer\">It&#039;s &lt;?php X</a></li>';"));
        // The image is described by the product's name, escaped for the attribute.
        QVERIFY(app.read("temp/php/salespage-funnelitem-0.php").contains("alt=\"It&#039;s &lt;?php X\""));
    }

    // An image that passes by its signature but ends before its size is refused by name.
    void damagedImageEndsTheRun() {
        TestAppFolder app;
        writeTemplates(app);
        app.write("myproducts/kit/salespage.png",
                  QByteArray("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00", 17));
        FunnelModel model;
        pick(model, app, 0, "My Products: Kit");
        KelvrinTools tools;
        RecordingMessages messages;
        try {
            FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
            QFAIL("no error");
        } catch (const BuildError& error) {
            QCOMPARE(error.number(), int(BuildError::InvalidInput));
            QVERIFY2(error.description().contains("kit/salespage.png") &&
                         error.description().contains("damaged"),
                     qPrintable(error.description()));
        }
        QVERIFY(!QFileInfo::exists(app.file("temp/php/salespage-funnelitem-0.php")));
    }

    // Products picked one after the other in the front end's slot; the last one is built. A copy
    // from the page starts with its headline; any other is the product's name alone.
    void salesCopyStartsFromTheProduct_data() {
        QTest::addColumn<QStringList>("picks");
        QTest::addColumn<bool>("previewRemoved");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<bool>("fromPage");
        const QString custom = "My Products: Demo Product";
        const QString traffic = "Build a traffic plan that keeps working after you stop pushing";
        QTest::newRow("built-in") << QStringList{"Traffic Magnet Pro"} << false << traffic << true;
        QTest::newRow("custom") << QStringList{custom} << false << "Demo Product" << false;
        QTest::newRow("custom after a built-in")
            << QStringList{"Traffic Magnet Pro", custom} << false << "Demo Product" << false;
        QTest::newRow("built-in after a custom")
            << QStringList{custom, "Traffic Magnet Pro"} << false << traffic << true;
        QTest::newRow("built-in without its preview page")
            << QStringList{"Traffic Magnet Pro"} << true << "Traffic Magnet Pro" << false;
    }
    void salesCopyStartsFromTheProduct() {
        QFETCH(QStringList, picks);
        QFETCH(bool, previewRemoved);
        QFETCH(QString, heading);
        QFETCH(bool, fromPage);
        TestAppFolder app;
        writeTemplates(app);
        if (previewRemoved)
            QVERIFY(QFile::remove(app.file("productspro/trafficmagnetpro/preview.html")));
        FunnelModel model;
        for (const QString& product : picks)
            pick(model, app, 0, product);
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        const QString copy = QString::fromUtf8(app.read("temp/copy/start-0.html"));
        const QString headingBlock = "<!-- wp:heading -->\n<h2>" + heading + "</h2>\n<!-- /wp:heading -->\n";
        if (fromPage) {
            QVERIFY2(copy.startsWith(headingBlock + "\n<!-- wp:paragraph -->"), qPrintable(copy));
            QVERIFY(copy.contains("<!-- wp:list -->"));
        } else {
            QCOMPARE(copy, headingBlock);
        }
    }

    void imagePathLosesItsLineBreaks() {
        TestAppFolder app;
        writeTemplates(app);
        FunnelModel model;
        pick(model, app, 0, "Webinar Wealth");
        model.SetSalesPageImage(0, app.file("productspro/webinarwealth/salespage.gif\r\n"));
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QCOMPARE(app.read("temp/images/funnelitem-0.gif"),
                 app.read("productspro/webinarwealth/salespage.gif"));
    }

    void tokenFilesHoldTheBareToken() {
        TestAppFolder app;
        writeTemplates(app);
        FunnelModel model;
        pick(model, app, 0, "Webinar Wealth");
        RecordingMessages messages;
        KelvrinTools tools(3), replay(3);
        const GenerationResult result = FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        const QString sales = "sp" + replay.RandomLetters(kTokenRandomLength);
        const QString download = "dld" + replay.RandomLetters(kTokenRandomLength);
        QCOMPARE(app.read("temp/funneltokens/funneltokens0-salespage.txt"), sales.toUtf8());
        QCOMPARE(app.read("temp/funneltokens/funneltokens0-downloadpage.txt"), download.toUtf8());
        QCOMPARE(result.tokens.sales[0], sales);
        QCOMPARE(result.tokens.download[0], download);
        QVERIFY(result.switchEntries.startsWith("case \"" + sales + "\":\r\n"));
        QVERIFY(result.switchEntries.contains("case \"" + download + "\":\r\n"));
    }

    void earlierTokensAreReused() {
        TestAppFolder app;
        writeTemplates(app);
        FunnelModel model;
        pick(model, app, 0, "Webinar Wealth");
        RecordingMessages messages;
        KelvrinTools tools;
        FunnelTokens earlier;
        earlier.sales[0] = "sp" + QString(24, 'q');
        earlier.download[0] = "dld" + QString(24, 'q');
        const GenerationResult result =
            FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model, earlier);
        QCOMPARE(result.tokens, earlier);
        QCOMPARE(app.read("temp/funneltokens/funneltokens0-downloadpage.txt"), earlier.download[0].toUtf8());
    }

    void missingImageIsReportedAndEndsTheRun() {
        TestAppFolder app;
        writeTemplates(app);
        FunnelModel model;
        model.AddUpsell(0);
        pick(model, app, 0, "Webinar Wealth");
        pick(model, app, 1, "Copywriting Mastery");
        QFile::remove(app.file("productspro/copywritingmastery/salespage.gif"));
        KelvrinTools tools;
        RecordingMessages messages;
        try {
            FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
            QFAIL("the run went on without its image");
        } catch (const BuildError& error) {
            QCOMPARE(error.number(), int(BuildError::FileNotFound));
            QVERIFY(error.description().contains("copywritingmastery/salespage.gif"));
        }
        QCOMPARE(messages.lastText(), QString("Source file does not exist."));
        QVERIFY(QFileInfo::exists(app.file("temp/php/download-funnelitem-0.php")));
    }

    void missingFoldersAndTemplatesAreNamed_data() {
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("named");
        QTest::newRow("metabox template") << "templates/metabox0.txt"
                                          << "metabox0.txt";
        QTest::newRow("closing template") << "templates/metaboxclosing.txt"
                                          << "metaboxclosing.txt";
    }
    void missingFoldersAndTemplatesAreNamed() {
        QFETCH(QString, remove);
        QFETCH(QString, named);
        TestAppFolder app;
        writeTemplates(app);
        QDir(app.file(remove)).removeRecursively();
        QFile::remove(app.file(remove));
        FunnelModel model;
        pick(model, app, 0, "Webinar Wealth");
        KelvrinTools tools;
        RecordingMessages messages;
        try {
            FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
            QFAIL("no error");
        } catch (const BuildError& error) {
            QVERIFY2(error.description().contains(named), qPrintable(error.description()));
        }
    }

    void workAreaIsEmptiedInPlace() {
        TestAppFolder app;
        writeTemplates(app);
        QTemporaryDir outside;
        const QString precious = outside.path() + "/precious.txt";
        QFile keep(precious);
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.close();
        app.write("temp/left-over/deep/old.txt", "from an earlier run");
        app.write("temp/.hidden", "x");
        app.write("temp/images/funnelitem-3.gif", "an item removed since");
        QFile::setPermissions(app.file("temp/images/funnelitem-3.gif"), QFileDevice::ReadOwner);
        QVERIFY(QFile::link(outside.path(), app.file("temp/link-to-folder")));
        QVERIFY(QFile::link(precious, app.file("temp/php")));
        // Held open through the run: a folder removed meanwhile has no links left, even if a new
        // one of the same name (and perhaps the same inode number) took its place.
        const int held = ::open(QFile::encodeName(app.file("temp")).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(held >= 0);

        FunnelModel model;
        pick(model, app, 0, "Traffic Magnet Pro");
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);

        struct stat heldFolder {};
        struct stat now {};
        QCOMPARE(::fstat(held, &heldFolder), 0);
        ::close(held);
        QCOMPARE(::stat(QFile::encodeName(app.file("temp")).constData(), &now), 0);
        QVERIFY(heldFolder.st_nlink > 0);
        QCOMPARE(now.st_ino, heldFolder.st_ino);
        QCOMPARE(workArea(app).size(), 6);
        QCOMPARE(QDir(app.file("temp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"copy", "funneltokens", "images", "php"}));
        QVERIFY(QFileInfo::exists(precious));
        QVERIFY(!QFileInfo(app.file("temp/php")).isSymLink());
    }

    void workAreaIsMadeWhereItIsMissing_data() {
        QTest::addColumn<QString>("instead");
        QTest::newRow("nothing") << "";
        QTest::newRow("a file") << "file";
        QTest::newRow("a link to a folder elsewhere") << "link";
    }
    void workAreaIsMadeWhereItIsMissing() {
        QFETCH(QString, instead);
        TestAppFolder app;
        writeTemplates(app);
        QTemporaryDir outside;
        QVERIFY(QDir(app.file("temp")).removeRecursively());
        if (instead == "file")
            app.write("temp", "a file");
        if (instead == "link") {
            QFile kept(outside.path() + "/kept.txt");
            QVERIFY(kept.open(QIODevice::WriteOnly));
            kept.close();
            QVERIFY(QFile::link(outside.path(), app.file("temp")));
        }

        FunnelModel model;
        pick(model, app, 0, "Traffic Magnet Pro");
        KelvrinTools tools;
        RecordingMessages messages;
        FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QVERIFY(QFileInfo(app.file("temp")).isDir());
        QVERIFY(!QFileInfo(app.file("temp")).isSymLink());
        QCOMPARE(workArea(app).size(), 6);
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files),
                 instead == "link" ? QStringList{"kept.txt"} : QStringList{});
    }

    void checkFunnelItemsLooksAtShownSlotsOnly() {
        FunnelModel model;
        QVERIFY(!FunnelGenerator::CheckFunnelItems(model));
        model.SetProductText(0, "Webinar Wealth");
        QVERIFY(FunnelGenerator::CheckFunnelItems(model));
        model.AddUpsell(0);
        QVERIFY(!FunnelGenerator::CheckFunnelItems(model));
        model.RemoveItem(1);
        QVERIFY(FunnelGenerator::CheckFunnelItems(model));
    }
};

QTEST_APPLESS_MAIN(tst_ProcessFunnel)
#include "tst_processfunnel.moc"
