#include "TestAppFolder.h"
#include "catalogue/BuiltInProducts.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The connector of slot N is imgFunnel(N - 1).
bool connectorOf(const FunnelModel& model, int slot) {
    return model.IsConnectorShown(slot - 1);
}

void addAll(FunnelModel& model) {
    QVERIFY(model.AddUpsell(0));
    QVERIFY(model.AddUpsell(1));
    QVERIFY(model.AddDownsell(1));
    QVERIFY(model.AddDownsell(2));
}

} // namespace

class tst_FunnelModel : public QObject {
    Q_OBJECT

private slots:
    void startState() {
        FunnelModel model;
        QCOMPARE(model.PresentSlots(), QList<int>{0});
        for (int c = 0; c < 4; ++c)
            QVERIFY(!model.IsConnectorShown(c));
        QVERIFY(model.IsAddUpsellEnabled(0));
        QVERIFY(model.IsAddUpsellEnabled(1));
        QVERIFY(model.IsAddDownsellEnabled(1));
        QVERIFY(model.IsAddDownsellEnabled(2));
        QCOMPARE(FunnelModel::Title(3), QString("Downsell For Upsell #1"));
        QCOMPARE(FunnelModel::Parent(4), 2);
    }

    void addButtons_data() {
        QTest::addColumn<bool>("upsell");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("shownSlot");
        QTest::addColumn<int>("parentSlot");
        QTest::newRow("upsell in slot 0") << true << 0 << 1 << 0;
        QTest::newRow("upsell in slot 1") << true << 1 << 2 << 1;
        QTest::newRow("downsell in slot 1") << false << 1 << 3 << 1;
        QTest::newRow("downsell in slot 2") << false << 2 << 4 << 2;
    }
    void addButtons() {
        QFETCH(bool, upsell);
        QFETCH(int, index);
        QFETCH(int, shownSlot);
        QFETCH(int, parentSlot);
        FunnelModel model;
        // Bring the button's own slot into the funnel first.
        if (index >= 1)
            QVERIFY(model.AddUpsell(0));
        if (index == 2)
            QVERIFY(model.AddUpsell(1));
        const int countBefore = model.Slot(parentSlot).childCount;

        QVERIFY(upsell ? model.AddUpsell(index) : model.AddDownsell(index));
        QVERIFY(model.IsPresent(shownSlot));
        QVERIFY(connectorOf(model, shownSlot));
        QCOMPARE(model.Slot(parentSlot).childCount, countBefore + 1);
        QVERIFY(!(upsell ? model.IsAddUpsellEnabled(index) : model.IsAddDownsellEnabled(index)));
        // A disabled button does nothing.
        QVERIFY(!(upsell ? model.AddUpsell(index) : model.AddDownsell(index)));
        QCOMPARE(model.Slot(parentSlot).childCount, countBefore + 1);
    }

    void downsellForUpsell2NeedsUpsell2() {
        FunnelModel model;
        QVERIFY(model.AddUpsell(0));
        QVERIFY(!model.AddDownsell(2));
        QVERIFY(!model.IsPresent(4));
    }

    void bothChildrenOfSlot1() {
        FunnelModel model;
        addAll(model);
        QCOMPARE(model.Slot(1).childCount, 2);
        QVERIFY(!model.IsAddUpsellEnabled(1));
        QVERIFY(!model.IsAddDownsellEnabled(1));
        QCOMPARE(model.PresentSlots(), (QList<int>{0, 1, 2, 3, 4}));
    }

    void removeRows_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("parentSlot");
        QTest::newRow("upsell 1") << 1 << 0;
        QTest::newRow("upsell 2") << 2 << 1;
        QTest::newRow("downsell 1") << 3 << 1;
        QTest::newRow("downsell 2") << 4 << 2;
    }
    void removeRows() {
        QFETCH(int, slot);
        QFETCH(int, parentSlot);
        FunnelModel model;
        QVERIFY(model.AddUpsell(0));
        if (slot >= 2)
            QVERIFY(slot == 3 ? model.AddDownsell(1) : model.AddUpsell(1));
        if (slot == 4)
            QVERIFY(model.AddDownsell(2));
        const int countBefore = model.Slot(parentSlot).childCount;

        QCOMPARE(model.RemoveItem(slot), FunnelModel::RemoveResult::Removed);
        QVERIFY(!model.IsPresent(slot));
        QVERIFY(!connectorOf(model, slot));
        QCOMPARE(model.Slot(parentSlot).childCount, countBefore - 1);
        const bool enabledAgain = slot == 1 || slot == 2 ? model.IsAddUpsellEnabled(slot - 1)
                                                         : model.IsAddDownsellEnabled(slot - 2);
        QVERIFY(enabledAgain);
    }

    void refusals() {
        FunnelModel model;
        addAll(model);
        QCOMPARE(model.RemoveItem(1), FunnelModel::RemoveResult::HasChildren);
        QCOMPARE(model.RemoveItem(2), FunnelModel::RemoveResult::HasChildren);
        QCOMPARE(model.RemoveItem(0), FunnelModel::RemoveResult::NotRemovable);
        QCOMPARE(model.PresentSlots(), (QList<int>{0, 1, 2, 3, 4}));

        QCOMPARE(model.RemoveItem(4), FunnelModel::RemoveResult::Removed);
        QCOMPARE(model.RemoveItem(2), FunnelModel::RemoveResult::Removed);
        QCOMPARE(model.RemoveItem(1), FunnelModel::RemoveResult::HasChildren);
        QCOMPARE(model.RemoveItem(3), FunnelModel::RemoveResult::Removed);
        QCOMPARE(model.RemoveItem(1), FunnelModel::RemoveResult::Removed);
        QCOMPARE(model.PresentSlots(), QList<int>{0});
        QVERIFY(model.IsAddUpsellEnabled(0));
    }

    void removedSlotKeepsItsChoice() {
        FunnelModel model;
        QVERIFY(model.AddUpsell(0));
        model.SetProductText(1, "Webinar Wealth");
        model.SetDownloadUrl(1, "https://example.com/typed");
        QCOMPARE(model.RemoveItem(1), FunnelModel::RemoveResult::Removed);
        QVERIFY(model.AddUpsell(0));
        QCOMPARE(model.Slot(1).cboProduct, QString("Webinar Wealth"));
        QCOMPARE(model.Slot(1).txtProductDownloadUrl, QString("https://example.com/typed"));
    }

    // Thousands of random clicks from a fixed seed; the funnel's rules must hold after each one.
    void randomSequenceKeepsTheRules() {
        FunnelModel model;
        QRandomGenerator random(20261209);
        const QStringList products = BuiltInProducts::Names();
        for (int step = 0; step < 5000; ++step) {
            const int action = int(random.bounded(4));
            const int slot = int(random.bounded(5));
            switch (action) {
            case 0:
                model.AddUpsell(int(random.bounded(2)));
                break;
            case 1:
                model.AddDownsell(1 + int(random.bounded(2)));
                break;
            case 2:
                model.RemoveItem(slot);
                break;
            default:
                model.SetProductText(slot, products.at(int(random.bounded(products.size()))));
                break;
            }
            QVERIFY(model.IsPresent(0));
            for (int n = 1; n < 5; ++n) {
                if (model.IsPresent(n))
                    QVERIFY2(model.IsPresent(FunnelModel::Parent(n)),
                             qPrintable(QString("step %1").arg(step)));
                QCOMPARE(model.IsConnectorShown(n - 1), model.IsPresent(n));
            }
            for (int n = 0; n < 5; ++n) {
                int shownChildren = 0;
                for (int c = 1; c < 5; ++c)
                    shownChildren += FunnelModel::Parent(c) == n && model.IsPresent(c);
                QCOMPARE(model.Slot(n).childCount, shownChildren);
            }
            QCOMPARE(model.IsAddUpsellEnabled(0), !model.IsPresent(1));
            QCOMPARE(model.IsAddUpsellEnabled(1), !model.IsPresent(2));
            QCOMPARE(model.IsAddDownsellEnabled(1), !model.IsPresent(3));
            QCOMPARE(model.IsAddDownsellEnabled(2), !model.IsPresent(4));
        }
    }

    void selectBuiltIn_data() {
        QTest::addColumn<QByteArray>("idFile");
        QTest::addColumn<QString>("expectedId");
        QTest::addColumn<QString>("expectedDownload");
        QTest::newRow("with id") << QByteArray("kit42") << "kit42"
                                 << BuiltInProducts::DownloadServerBase() + "kit42.html";
        QTest::newRow("empty id") << QByteArray() << ""
                                  << "";
        QTest::newRow("id with line break") << QByteArray("kit42\r\n") << "kit42\r\n"
                                            << BuiltInProducts::DownloadServerBase() + "kit42\r\n.html";
    }
    void selectBuiltIn() {
        QFETCH(QByteArray, idFile);
        QFETCH(QString, expectedId);
        QFETCH(QString, expectedDownload);
        TestAppFolder app;
        app.write("productspro/Test Product.txt", idFile);
        ProductCatalogue catalogue(app.path());
        FunnelModel model;
        model.SetDownloadUrl(0, "typed by hand");
        model.SetProductText(0, "Test Product");
        model.SelectProduct(0, catalogue);
        QCOMPARE(model.txtProductId, expectedId);
        QCOMPARE(model.Slot(0).txtProductDownloadUrl, expectedDownload);
        QCOMPARE(model.Slot(0).txtSalesPageImage,
                 app.path() + "/productspro/" + expectedId + "/salespage.gif");
        QCOMPARE(model.Slot(0).txtSalesPageHTML, app.path() + "/productspro/" + expectedId + "/preview.html");
        QCOMPARE(model.txtBonusDeliveryUrl, expectedId.isEmpty() ? QString("Not Available Yet") : QString());
    }

    void customAfterBuiltInKeepsThePreview() {
        TestAppFolder app;
        app.write("myproducts/cool-product/download.txt", "https://example.com/cool.zip\r\n");
        app.write("myproducts/cool-product/salespage.jpg", "jpg");
        app.write("myproducts/cool-product/notes.txt", "notes");
        // Where case counts, a second spelling of the name is another file, never read.
        if (PathRules::Native().caseSensitivity == Qt::CaseSensitive)
            app.write("myproducts/cool-product/Download.TXT", "not the address");
        ProductCatalogue catalogue(app.path());
        FunnelModel model;
        model.SetProductText(2, "Webinar Wealth");
        model.SelectProduct(2, catalogue);
        const QString builtInPreview = model.Slot(2).txtSalesPageHTML;

        model.SetProductText(2, "My Products: Cool Product");
        model.SelectProduct(2, catalogue);
        // The file's final line break is no part of the address.
        QCOMPARE(model.Slot(2).txtProductDownloadUrl, QString("https://example.com/cool.zip"));
        QCOMPARE(model.txtMyProductDownloadUrl, QString("https://example.com/cool.zip"));
        // Sorted without case: download.txt, Download.TXT, notes.txt, salespage.jpg.
        QCOMPARE(model.Slot(2).txtSalesPageImage, app.file("myproducts/cool-product/salespage.jpg"));
        QCOMPARE(model.Slot(2).txtSalesPageHTML, builtInPreview);

        // Only image files qualify: the last one by name wins, other files never do.
        app.write("myproducts/cool-product/zz-notes.txt", "later");
        model.SelectProduct(2, catalogue);
        QCOMPARE(model.Slot(2).txtSalesPageImage, app.file("myproducts/cool-product/salespage.jpg"));
        app.write("myproducts/cool-product/Z-cover.PNG", "later image");
        model.SelectProduct(2, catalogue);
        QCOMPARE(model.Slot(2).txtSalesPageImage, app.file("myproducts/cool-product/Z-cover.PNG"));
    }

    void caseVariantOfDownloadFileIsNeitherAddressNorImage() {
        TestAppFolder app;
        app.write("myproducts/odd/Download.txt", "https://example.com/odd.zip");
        ProductCatalogue catalogue(app.path());
        FunnelModel model;
        model.SetProductText(0, "My Products: Odd");
        model.SelectProduct(0, catalogue);
        QCOMPARE(model.Slot(0).txtProductDownloadUrl, QString());
        QCOMPARE(model.Slot(0).txtSalesPageImage, QString());
    }

    void missingCustomFolderResolvesEmpty() {
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        FunnelModel model;
        model.SetProductText(0, "Traffic Magnet Pro");
        model.SelectProduct(0, catalogue);
        const QString image = model.Slot(0).txtSalesPageImage;
        model.SetProductText(0, "My Products: Gone Missing");
        model.SelectProduct(0, catalogue);
        QCOMPARE(model.Slot(0).txtProductDownloadUrl, QString());
        QCOMPARE(model.Slot(0).txtSalesPageImage, image);
    }

};

QTEST_APPLESS_MAIN(tst_FunnelModel)
#include "tst_funnelmodel.moc"
