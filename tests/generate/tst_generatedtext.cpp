#include "Recorders.h"
#include "TestAppFolder.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/DownloadLinks.h"
#include "generate/FunnelGenerator.h"
#include "generate/SwitchCode.h"
#include "generate/TemplateFiller.h"
#include "platform/KelvrinTools.h"

#include <QTest>

namespace {

void writeSimpleTemplates(const TestAppFolder& app) {
    app.write("templates/metabox0.txt",
              "[0 #FUNNELITEM# #FUNNELITEM_NOSPACES# #FUNNELCODE# #DOWNLOADCODE# #FUNNELITEM#]");
    app.write("templates/metabox.txt", "[n #FUNNELITEM# #FUNNELITEM_NOSPACES# #FUNNELCODE#/#DOWNLOADCODE#]");
    app.write("templates/metaboxclosing.txt", "return $meta_boxes;");
    app.write("templates/salespage-funnelitem.php", "img=#IMAGE#");
    app.write("templates/downloadpage-funnelitem.php", "links=#DOWNLOAD_LINKS#");
}

void pick(FunnelModel& model, const ProductCatalogue& catalogue, int slot, const QString& product) {
    model.SetProductText(slot, product);
    model.SelectProduct(slot, catalogue);
}

} // namespace

// Expected texts are written out here by hand, line by line, not rebuilt with the code under test.
class tst_GeneratedText : public QObject {
    Q_OBJECT

private slots:
    void salesBlockOfSlot2() {
        QCOMPARE(
            SwitchEntry(2, "sp1375", false),
            QString("case \"sp1375\":\r\n"
                    "\r\n"
                    "$payment_button = get_post_meta( $post->ID,  $prefix . 'funnelitem_2_code', true );\r\n"
                    "$page_title = get_post_meta( $post->ID,  $prefix . 'funnelitem_2_pagetitle', true );\r\n"
                    "$headline = get_post_meta( $post->ID,  $prefix . 'funnelitem_0_headline', true );\r\n"
                    "  include __DIR__ . '/salespage-funnelitem-2.php';\r\n"
                    "break;\r\n"
                    "\r\n"));
    }

    void downloadBlockOfSlot2() {
        QCOMPARE(
            SwitchEntry(2, "dld412", true),
            QString("case \"dld412\":\r\n"
                    "\r\n"
                    "$payment_button = get_post_meta( $post->ID,  $prefix . 'funnelitem_2_code', true );\r\n"
                    "  include __DIR__ . '/download-funnelitem-2.php';\r\n"
                    "break;\r\n"
                    "\r\n"));
    }

    void slot4StillReadsTheFrontEndHeadline() {
        const QString block = SwitchEntry(4, "sp100", false);
        QVERIFY(block.contains("'funnelitem_4_pagetitle'"));
        QVERIFY(block.contains("'funnelitem_0_headline'"));
        QVERIFY(!block.contains("funnelitem_4_headline"));
    }

    void downloadLinks_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("expected");
        QTest::newRow("front end")
            << 0
            << "<li><a href=\"https://d.example.com/a.html\" target=\"_blank\" rel=\"noopener noreferrer\">Traffic Magnet Pro</a></li>";
        QTest::newRow("downsell for upsell 1")
            << 3
            << "<li><a href=\"https://d.example.com/a.html\" target=\"_blank\" rel=\"noopener noreferrer\">Traffic Magnet Pro</a></li>\n"
               "<li><a href=\"https://d.example.com/own.zip\" target=\"_blank\" rel=\"noopener noreferrer\">Cool Product</a></li>";
        QTest::newRow("downsell for upsell 2")
            << 4
            << "<li><a href=\"https://d.example.com/a.html\" target=\"_blank\" rel=\"noopener noreferrer\">Traffic Magnet Pro</a></li>\n"
               "<li><a href=\"https://d.example.com/b.html\" target=\"_blank\" rel=\"noopener noreferrer\">Webinar Wealth</a></li>\n"
               "<li><a href=\"\" target=\"_blank\" rel=\"noopener noreferrer\">Kindle Publishing Empire</a></li>";
    }
    void downloadLinks() {
        QFETCH(int, slot);
        QFETCH(QString, expected);
        FunnelModel model;
        model.AddUpsell(0);
        model.AddUpsell(1);
        model.AddDownsell(1);
        model.AddDownsell(2);
        model.SetProductText(0, "Traffic Magnet Pro");
        model.SetDownloadUrl(0, "https://d.example.com/a.html\r\n");
        model.SetProductText(1, "Webinar Wealth");
        model.SetDownloadUrl(1, "https://d.example.com/\r\nb.html");
        model.SetProductText(2, "Copywriting Mastery");
        model.SetProductText(3, "My Products: Cool Product");
        model.SetDownloadUrl(3, "https://d.example.com/own.zip");
        model.SetProductText(4, "Kindle Publishing Empire");

        QString field = "left from before";
        BuildDownloadLinks(model, slot, field);
        QCOMPARE(field, expected);
        BuildDownloadLinks(model, 7, field);
        QCOMPARE(field, expected);
    }

    void linkedSlotsFollowTheWayDown() {
        QCOMPARE(LinkedSlots(1), (QList<int>{0, 1}));
        QCOMPARE(LinkedSlots(2), (QList<int>{0, 1, 2}));
        QCOMPARE(LinkedSlots(-1), QList<int>{});
    }

    void tokensFillInOrder() {
        // A value holding a later token is filled again; an earlier token is not.
        QCOMPARE(FillTokens("#A# #B#", {{"#A#", "#B#"}, {"#B#", "b"}}), QString("b b"));
        QCOMPARE(FillTokens("#A# #B#", {{"#B#", "#A#"}, {"#A#", "a"}}), QString("a a"));
    }

    void metaboxesAndSwitchEntriesOfARun() {
        TestAppFolder app;
        writeSimpleTemplates(app);
        ProductCatalogue catalogue(app.path());
        FunnelModel model;
        model.AddUpsell(0);
        model.AddUpsell(1);
        for (int n : {0, 1, 2})
            pick(model, catalogue, n, "Traffic Magnet Pro");
        model.RemoveItem(2);

        // Replay the same draws to know the tokens.
        KelvrinTools tools(7), replay(7);
        auto token = [&replay](const char* prefix) {
            return QString(prefix) + replay.RandomLetters(kTokenRandomLength);
        };
        const QString sp0 = token("sp"), dld0 = token("dld"), sp1 = token("sp"), dld1 = token("dld");

        RecordingMessages messages;
        FunnelGenerator generator(app.path(), tools, messages);
        const GenerationResult result = generator.ProcessFunnel(model);
        QCOMPARE(result.metaboxes, "[0 Front End Offer funnelitem_0 " + sp0 + " " + dld0 +
                                       " Front End Offer]\n" + "[n Upsell #1 funnelitem_1 " + sp1 + "/" +
                                       dld1 + "]\n" +
                                       "\n"
                                       "return $meta_boxes;");
        QCOMPARE(result.switchEntries.count("case \""), 4);
        QVERIFY(result.switchEntries.startsWith("case \"" + sp0 + "\":\r\n"));
        QVERIFY(result.switchEntries.endsWith(
            "  include __DIR__ . '/download-funnelitem-1.php';\r\nbreak;\r\n\r\n"));
        QVERIFY(messages.shown.isEmpty());
    }

    void oneSlotRunEndsWithAnEmptyLine() {
        TestAppFolder app;
        writeSimpleTemplates(app);
        FunnelModel model;
        pick(model, ProductCatalogue(app.path()), 0, "Webinar Wealth");
        KelvrinTools tools(1);
        RecordingMessages messages;
        const GenerationResult result = FunnelGenerator(app.path(), tools, messages).ProcessFunnel(model);
        QVERIFY(result.switchEntries.endsWith("break;\r\n\r\n"));
        QCOMPARE(result.switchEntries.count("\r\n"), 8 + 6);
    }
};

QTEST_APPLESS_MAIN(tst_GeneratedText)
#include "tst_generatedtext.moc"
