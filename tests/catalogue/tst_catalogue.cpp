#include "TestAppFolder.h"
#include "catalogue/BuiltInProducts.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QTest>

class tst_Catalogue : public QObject {
    Q_OBJECT

private slots:
    void shippedProductsAreComplete() {
        TestAppFolder app;
        const QStringList names = BuiltInProducts::Names();
        QCOMPARE(names.size(), 20);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 20);
        ProductCatalogue catalogue(app.path());
        for (const QString& name : names) {
            const ProductRecord product = catalogue.ResolveBuiltIn(name);
            QVERIFY2(!product.productId.isEmpty(), qPrintable(name));
            QVERIFY2(!product.productId.contains('\n'), qPrintable(name));
            QVERIFY2(QFileInfo(product.salesPageImage).isFile(), qPrintable(product.salesPageImage));
            QVERIFY2(app.read("productspro/" + product.productId + "/salespage.gif").startsWith("GIF8"),
                     qPrintable(name));
            QVERIFY2(app.read("productspro/" + product.productId + "/preview.html").contains("salespage.gif"),
                     qPrintable(name));
            QVERIFY(product.downloadAddress.startsWith("https://"));
            QVERIFY(product.downloadAddress.endsWith("/dld/" + product.productId + ".html"));
        }
    }

    void fillProductLists_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("expectedCustom");
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("sorted by folder name")
            << QStringList{"zebra-course", "cool-product", "Big-Bundle"}
            << QStringList{"My Products: Big Bundle", "My Products: Cool Product",
                           "My Products: Zebra Course"};
        QTest::newRow("small letters among capitals")
            << QStringList{"beta-kit", "Alpha-kit", "gamma", "Zulu"}
            << QStringList{"My Products: Alpha Kit", "My Products: Beta Kit", "My Products: Gamma",
                           "My Products: Zulu"};
        QTest::newRow("blank in folder name")
            << QStringList{"two words"} << QStringList{"My Products: Two Words"};
    }
    void fillProductLists() {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, expectedCustom);
        TestAppFolder app;
        QDir(app.file("myproducts/demo-product")).removeRecursively();
        for (const QString& folder : folders)
            QDir().mkpath(app.file("myproducts/" + folder));
        app.write("myproducts/not-a-folder.txt", "x");
        QDir().mkpath(app.file("myproducts/.hidden"));

        ProductCatalogue catalogue(app.path());
        const QStringList items = catalogue.FillProductLists();
        QCOMPARE(items.mid(0, 20), BuiltInProducts::Names());
        QCOMPARE(items.mid(20), expectedCustom);
        QCOMPARE(catalogue.lstMyProductsFolder().size(), expectedCustom.size());
    }

    void nameMapping_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("display");
        QTest::newRow("as the help asks") << "cool-product"
                                          << "My Products: Cool Product";
        QTest::newRow("upper case letters") << "Mega-SALE-Kit"
                                            << "My Products: Mega Sale Kit";
        QTest::newRow("blank instead of dash") << "two words"
                                               << "My Products: Two Words";
    }
    void nameMapping() {
        QFETCH(QString, folder);
        QFETCH(QString, display);
        TestAppFolder app;
        QDir().mkpath(app.file("myproducts/" + folder));
        app.write("myproducts/" + folder + "/download.txt", "https://example.com/x.zip");
        app.write("myproducts/" + folder + "/salespage.png", "png");
        ProductCatalogue catalogue(app.path());
        QVERIFY(catalogue.FillProductLists().contains(display));

        const QString mapped = catalogue.CustomProductFolder(display);
        QString expectedMapped = folder;
        expectedMapped.replace(' ', '-');
        QCOMPARE(mapped, (app.path() + "/myproducts/" + expectedMapped).toLower());

        const ProductRecord product = catalogue.ResolveCustom(display);
        if (folder.contains(' ')) {
            // The display name maps back to a dashed folder that does not exist: an empty product.
            QVERIFY(product.downloadAddress.isEmpty());
            QVERIFY(product.salesPageImage.isEmpty());
        } else {
            QCOMPARE(product.downloadAddress, QString("https://example.com/x.zip"));
            QCOMPARE(product.salesPageImage, app.file("myproducts/" + folder + "/salespage.png"));
        }
    }

    // As download.txt holds it and as it is typed or pasted: the address alone is used.
    void downloadAddressesAreTrimmed_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("final line break") << "https://example.com/x.zip\n";
        QTest::newRow("final CR LF") << "https://example.com/x.zip\r\n";
        QTest::newRow("lone CR") << "https://example.com/x.zip\r";
        QTest::newRow("blanks and tabs around") << " \thttps://example.com/x.zip  ";
        QTest::newRow("line separator") << "https://example.com/x.zip\u2028";
        QTest::newRow("empty lines before") << "\n\nhttps://example.com/x.zip";
    }
    void downloadAddressesAreTrimmed() {
        QFETCH(QString, text);
        TestAppFolder app;
        app.write("myproducts/kit/download.txt", text.toUtf8());
        app.write("myproducts/kit/salespage.png", "png");
        ProductCatalogue catalogue(app.path());
        catalogue.FillProductLists();
        QCOMPARE(catalogue.ResolveCustom("My Products: Kit").downloadAddress,
                 QString("https://example.com/x.zip"));
        FunnelModel model;
        model.SetDownloadUrl(0, text);
        QCOMPARE(model.Slot(0).txtProductDownloadUrl, QString("https://example.com/x.zip"));
    }

    void locateFolderIgnoresCaseOnlyWhenNeeded() {
        TestAppFolder app;
        QDir().mkpath(app.file("myproducts/Exact"));
        // Where case does not count, both spellings name one folder: it is found as it is spelled.
        const bool caseCounts = PathRules::Native().caseSensitivity == Qt::CaseSensitive;
        if (caseCounts)
            QDir().mkpath(app.file("myproducts/exact"));
        const QString onDisk = app.file(caseCounts ? "myproducts/exact" : "myproducts/Exact");
        QCOMPARE(ProductCatalogue::LocateFolder(app.file("myproducts/exact")), onDisk);
        QCOMPARE(ProductCatalogue::LocateFolder(app.file("myproducts/EXACT").toLower()), onDisk);
        QVERIFY(ProductCatalogue::LocateFolder(app.file("myproducts/none")).isEmpty());
    }

    void kindTest_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("custom");
        QTest::newRow("built-in") << "Traffic Magnet Pro" << false;
        QTest::newRow("custom") << "My Products: Cool" << true;
        QTest::newRow("anywhere") << "Best Products: x" << true;
        QTest::newRow("case matters") << "my products: x" << false;
    }
    void kindTest() {
        QFETCH(QString, name);
        QFETCH(bool, custom);
        QCOMPARE(ProductCatalogue::KindOf(name) == ProductKind::Custom, custom);
    }
};

QTEST_APPLESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
