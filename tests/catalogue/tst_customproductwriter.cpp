#include "TestAppFolder.h"
#include "catalogue/CustomProductWriter.h"

#include <QDir>
#include <QTest>

namespace {

const QByteArray kGif("GIF89a\x02\x00\x03\x00 gif bytes", 19);
const QByteArray kPng =
    QByteArray("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR\x00\x00\x00\x05\x00\x00\x00\x03", 24) + " png bytes";
const QByteArray kWebp =
    QByteArray("RIFF\x20\x00\x00\x00WEBPVP8L\x10\x00\x00\x00\x2F\x04\x80\x00\x00", 25) + " webp bytes";
const QString kAddress = QStringLiteral("https://files.example.com/kit.zip");

using Files = QMap<QString, QByteArray>;

// An application folder with a picked image outside its products, and a hand-made product.
struct Fixture {
    TestAppFolder app;
    CustomProductWriter writer{app.path()};

    Fixture() {
        app.write("picked/cover.PNG", kPng);
        app.write("picked/photo.jpeg", app.read("myproducts/demo-product/salespage.jpg"));
        app.write("picked/art.webp", kWebp);
        app.write("picked/new.gif", kGif);
        app.write("picked/fake.png", "not an image");
        app.write("picked/cut.png", kPng.left(16));
        app.write("myproducts/Cool-Kit/alt.gif", kGif);
        app.write("myproducts/Cool-Kit/cover.png", kPng);
        app.write("myproducts/Cool-Kit/download.txt", "https://old.example.com/kit.zip\n");
        app.write("myproducts/Cool-Kit/notes.txt", "mine");
        app.write("myproducts/Cool-Kit/sub/readme.txt", "also mine");
        app.write("myproducts/Cool-Kit/salestext.txt", "Old text");
    }
    CustomProduct product(const QString& name, const QString& image = "picked/cover.PNG") const {
        return {name, image.isEmpty() ? QString() : app.file(image), kAddress, QString()};
    }
    QStringList products() const {
        return QDir(app.file("myproducts")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

class tst_CustomProductWriter : public QObject {
    Q_OBJECT

private slots:
    // A made product's folder holds what a hand-made one holds, and the lists show it at once.
    void writesTheFolderOfAHandMadeProduct_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("salesText");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("image");
        QTest::addRow("png in capitals") << "Mega Kit"
                                         << "cover.PNG"
                                         << ""
                                         << "Mega Kit"
                                         << "mega-kit/salespage.png";
        QTest::addRow("jpeg, blanks, dash") << "  SEO   e-Book "
                                            << "photo.jpeg"
                                            << " \n"
                                            << "Seo E Book"
                                            << "seo-e-book/salespage.jpg";
        QTest::addRow("webp, text, signs") << "Tom's Guide (2nd)"
                                           << "art.webp"
                                           << "One\nTwo"
                                           << "Tom's Guide (2nd)"
                                           << "tom's-guide-(2nd)/salespage.webp";
        QTest::addRow("beyond ASCII") << "ÉMILE kit"
                                      << "new.gif"
                                      << ""
                                      << "Émile Kit"
                                      << "émile-kit/salespage.gif";
    }
    void writesTheFolderOfAHandMadeProduct() {
        QFETCH(QString, name);
        QFETCH(QString, picked);
        QFETCH(QString, salesText);
        QFETCH(QString, listed);
        QFETCH(QString, image);
        Fixture f;
        CustomProduct product = f.product(name, "picked/" + picked);
        product.salesText = salesText;
        const CustomProductWriter::Result result = f.writer.Create(product);
        QCOMPARE(result.problem, QString());
        QCOMPARE(result.displayName, "My Products: " + listed);
        const QString folder = image.section('/', 0, 0);
        Files files{{"/" + image.section('/', 1), f.app.read("picked/" + picked)},
                    {"/download.txt", kAddress.toUtf8()}};
        if (!salesText.trimmed().isEmpty())
            files.insert("/salestext.txt", salesText.toUtf8());
        QCOMPARE(FolderSnapshot(f.app.file("myproducts/" + folder)), files);
        // No scratch folder is left beside it.
        QCOMPARE(f.products(), (QStringList{"Cool-Kit", "demo-product", folder}));
        QVERIFY(ProductCatalogue(f.app.path()).FillProductLists().contains(result.displayName));
        QCOMPARE(f.writer.Read(result.displayName).salesText, QString(files.value("/salestext.txt")));
    }

    // Refused before anything is written.
    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("problem");
        const QString png = "picked/cover.PNG";
        QTest::newRow("signs alone") << "(!)" << png << kAddress
                                     << "A product name needs a letter or a digit.";
        QTest::newRow("empty name") << "  " << png << kAddress << "Type the product's name.";
        for (const char* sign : {"/", "\\", ":", "*", "?", "\"", "<", "|", "\x01"})
            QTest::addRow("sign %s", sign) << QString("a%1b").arg(sign) << png << kAddress << "can't hold";
        QTest::newRow("dot first") << ".kit" << png << kAddress << "can't begin or end with a dot";
        QTest::newRow("dot last") << "Kit." << png << kAddress << "can't begin or end with a dot";
        QTest::newRow("device") << "LPT1" << png << kAddress << "Windows keeps that name";
        QTest::newRow("device with extension") << "Con.kit" << png << kAddress << "Windows keeps that name";
        QTest::newRow("too long") << QString(61, 'a') << png << kAddress << "60 characters long at most";
        QTest::newRow("small dotless i first")
            << QString::fromUtf8("ıkit") << png << kAddress << "would not find its folder again";
        QTest::newRow("built-in") << "webinar WEALTH" << png << kAddress
                                  << "is the name of a built-in product";
        QTest::newRow("folder of another spelling")
            << "cool kit" << png << kAddress << "in the folder \"Cool-Kit\"";
        QTest::newRow("listed alike") << "Two--Words" << png << kAddress << "in the folder \"two words\"";
        QTest::newRow("a file of that name") << "notes" << png << kAddress << "in the folder \"notes\"";
        QTest::newRow("no image") << "Kit"
                                  << "" << kAddress << "Choose the sales page image";
        QTest::newRow("image gone") << "Kit"
                                    << "picked/gone.png" << kAddress << "can't be found";
        QTest::newRow("text named as image") << "Kit"
                                             << "picked/fake.png" << kAddress << "content matches its name";
        QTest::newRow("image cut short") << "Kit"
                                         << "picked/cut.png" << kAddress << "its size can't be read";
        QTest::newRow("no address") << "Kit" << png << " "
                                    << "Type the download address";
        QTest::newRow("ftp") << "Kit" << png << "ftp://files.example.com/a.zip"
                             << "must be a web address";
        QTest::newRow("blank inside") << "Kit" << png << "https://files.exa mple.com/a"
                                      << "must be a web address";
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(QString, image);
        QFETCH(QString, address);
        QFETCH(QString, problem);
        Fixture f;
        QDir().mkpath(f.app.file("myproducts/two words"));
        f.app.write("myproducts/notes", "a file");
        const auto before = FolderSnapshot(f.app.file("myproducts"));
        CustomProduct product = f.product(name, image);
        product.downloadAddress = address;
        const CustomProductWriter::Result result = f.writer.Create(product);
        QVERIFY2(result.problem.contains(problem), qPrintable(result.problem));
        QCOMPARE(result.displayName, QString());
        QCOMPARE(FolderSnapshot(f.app.file("myproducts")), before);
    }

    // A changed product keeps the folder's other files; a new image replaces the folder's images.
    void updates_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("files");
        const QStringList kept{"/download.txt", "/notes.txt", "/sub", "/sub/readme.txt"};
        QTest::newRow("same image, same name") << "Cool Kit"
                                               << "myproducts/Cool-Kit/cover.png"
                                               << "Cool-Kit" << kept + QStringList{"/alt.gif", "/cover.png"};
        QTest::newRow("new image") << "cool-KIT"
                                   << "picked/new.gif"
                                   << "Cool-Kit" << kept + QStringList{"/salespage.gif"};
        QTest::newRow("renamed") << "Mega Kit"
                                 << "myproducts/Cool-Kit/cover.png"
                                 << "mega-kit" << kept + QStringList{"/alt.gif", "/cover.png"};
    }
    void updates() {
        QFETCH(QString, name);
        QFETCH(QString, image);
        QFETCH(QString, folder);
        QFETCH(QStringList, files);
        Fixture f;
        CustomProduct product = f.writer.Read("My Products: Cool Kit");
        QCOMPARE(product.image, f.app.file("myproducts/Cool-Kit/cover.png"));
        QCOMPARE(product.salesText, QString("Old text"));
        product.name = name;
        product.image = f.app.file(image);
        product.downloadAddress = kAddress;
        product.salesText.clear();
        const CustomProductWriter::Result result = f.writer.Update("My Products: Cool Kit", product);
        QCOMPARE(result.problem, QString());
        QCOMPARE(result.displayName, CustomProductWriter::DisplayName(name));
        const auto snapshot = FolderSnapshot(f.app.file("myproducts/" + folder));
        files.sort();
        QCOMPARE(snapshot.keys(), files);
        QCOMPARE(snapshot["/download.txt"], kAddress.toUtf8());
        QCOMPARE(snapshot["/sub/readme.txt"], QByteArray("also mine"));
        QStringList products{folder, "demo-product"};
        products.sort(Qt::CaseInsensitive);
        QCOMPARE(f.products(), products);
    }

#ifdef Q_OS_UNIX
    // A link is removed, never followed: what it points to stays, and it is never written into.
    void linksAreNeverFollowed() {
        Fixture f;
        QVERIFY(QFile::link(f.app.file("picked"), f.app.file("myproducts/linked")));
        QVERIFY(QFile::link(f.app.file("picked/new.gif"), f.app.file("myproducts/Cool-Kit/zz.gif")));
        QVERIFY(QFile::link(f.app.file("picked/new.gif"), f.app.file("picked/link.gif")));
        const auto picked = FolderSnapshot(f.app.file("picked"));
        QVERIFY(f.writer.Create(f.product("Kit", "picked/link.gif")).problem.contains("symbolic link"));
        QVERIFY(f.writer.Update("My Products: Cool Kit", f.product("Cool Kit"))
                    .problem.contains("symbolic link"));
        QCOMPARE(f.writer.Remove("My Products: Linked", {}).problem, QString());
        QCOMPARE(f.products(), (QStringList{"Cool-Kit", "demo-product"}));
        QCOMPARE(FolderSnapshot(f.app.file("picked")), picked);
    }
#endif
};

QTEST_APPLESS_MAIN(tst_CustomProductWriter)
#include "tst_customproductwriter.moc"
