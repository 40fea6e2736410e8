#include "TestAppFolder.h"
#include "app/FunnelDocument.h"
#include "app/RecentFiles.h"
#include "catalogue/ProductCatalogue.h"
#include "platform/KelvrinTools.h"
#include "plugin/FunnelFileLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Settings in a scratch file: the user's own settings are never touched.
struct ScratchSettings {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("settings.ini"), QSettings::IniFormat};
};

struct Fixture {
    TestAppFolder app;
    ScratchSettings scratch;
    ProductCatalogue catalogue{app.path()};
    FunnelDocument document{catalogue, &scratch.settings};
    Fixture() { document.model().SetProductChoices(catalogue.FillProductLists()); }
    void pick(int slot, const QString& product) {
        document.model().SetProductText(slot, product);
        document.model().SelectProduct(slot, catalogue);
    }
};

const QString kBase = QStringLiteral("Veltrano Pro 2.6 ");

// Tokens as a build draws them, the same for the same tag.
FunnelTokens tokensFor(const QList<int>& shown, char tag) {
    KelvrinTools tools{quint32(tag)};
    return AssignTokens(shown, {}, tools);
}

} // namespace

class tst_FunnelDocument : public QObject {
    Q_OBJECT

private slots:
    void modifiedFollowsTheContent() {
        Fixture f;
        QSignalSpy changes(&f.document, &FunnelDocument::stateChanged);
        QVERIFY(!f.document.isModified());
        f.pick(0, "Webinar Wealth");
        QVERIFY(f.document.isModified());
        QCOMPARE(changes.size(), 1);
        // Picking the same product again changes nothing more.
        f.pick(0, "Webinar Wealth");
        QCOMPARE(changes.size(), 1);

        QCOMPARE(f.document.SaveAs(f.app.file("funnel.json")), QString());
        QVERIFY(!f.document.isModified());
        f.document.model().AddUpsell(0);
        QVERIFY(f.document.isModified());
        // Taking the change back is no change.
        f.document.model().RemoveItem(1);
        QVERIFY(!f.document.isModified());
        f.document.model().SetDownloadUrl(0, "https://typed.example.com");
        QVERIFY(f.document.isModified());
    }

    void caption() {
        Fixture f;
        QCOMPARE(f.document.Caption(kBase), kBase);
        f.pick(0, "Webinar Wealth");
        // No file yet: marked as changed all the same, since quitting asks to save it.
        QCOMPARE(f.document.Caption(kBase), "*Untitled - " + kBase);
        QCOMPARE(f.document.SaveAs(f.app.file("my funnel.json")), QString());
        QCOMPARE(f.document.Caption(kBase), "my funnel.json - " + kBase);
        f.pick(0, "SEO Rank Booster");
        QCOMPARE(f.document.Caption(kBase), "*my funnel.json - " + kBase);
        f.document.New();
        QCOMPARE(f.document.Caption(kBase), kBase);
    }

    void saveAndOpenRestoreTheFunnel() {
        Fixture f;
        f.pick(0, "Traffic Magnet Pro");
        f.document.model().AddUpsell(0);
        f.pick(1, "My Products: Demo Product");
        f.document.model().SetDownloadUrl(1, "https://typed.example.com/1");
        PluginDetails details = f.document.details();
        details.identifier = "pdoc1";
        details.name = "Doc Plugin";
        f.document.KeepBuild(details, tokensFor({0, 1}, 'b'));
        QCOMPARE(f.document.SaveAs(f.app.file("f.json")), QString());

        Fixture other;
        QCOMPARE(other.document.Open(f.app.file("f.json")), QString());
        QVERIFY(!other.document.isModified());
        QCOMPARE(other.document.filePath(), f.app.file("f.json"));
        QCOMPARE(other.document.model().PresentSlots(), (QList<int>{0, 1}));
        QCOMPARE(other.document.model().Slot(1).cboProduct, QString("My Products: Demo Product"));
        QCOMPARE(other.document.model().Slot(1).txtProductDownloadUrl,
                 QString("https://typed.example.com/1"));
        QCOMPARE(other.document.details().identifier, QString("pdoc1"));
        QCOMPARE(other.document.details().name, QString("Doc Plugin"));
        QCOMPARE(other.document.tokens(), tokensFor({0, 1}, 'b'));
    }

    void aFailedOpenChangesNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong type") << QByteArray("{\"items\": [{\"slot\": 0, \"download\": 5}]}")
                                    << "\"download\"";
        QTest::newRow("unknown product")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Nope\"}]}") << "unknown product";
        QTest::newRow("no file") << QByteArray() << "does not exist";
        QTest::newRow("key twice") << QByteArray("{\"items\": [{\"slot\": 0, \"slot\": 1}]}")
                                   << "\"items[0].slot\" twice";
        QTest::newRow("weak token") << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": "
                                                  "\"sp0000000000000000000000\", \"download\": "
                                                  "\"dldabcdefghijklmnopqrstuvw\"}}]}")
                                    << "too easy to guess";
    }
    void aFailedOpenChangesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QCOMPARE(f.document.SaveAs(f.app.file("good.json")), QString());
        f.pick(0, "SEO Rank Booster");
        if (!content.isEmpty())
            f.app.write("bad.json", content);
        const QString problem = f.document.Open(f.app.file("bad.json"));
        QVERIFY2(problem.contains(message), qPrintable(problem));
        QCOMPARE(f.document.filePath(), f.app.file("good.json"));
        QVERIFY(f.document.isModified());
        QCOMPARE(f.document.model().Slot(0).cboProduct, QString("SEO Rank Booster"));
        QVERIFY(!f.document.recentFiles().Files().contains(f.app.file("bad.json")));
    }

    // A command-line build of the file may be about to record its plugin's identifier there.
    void aSaveWaitsForABuildOfTheFile() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QCOMPARE(f.document.SaveAs(f.app.file("f.json")), QString());
        const QByteArray saved = f.app.read("f.json");
        f.pick(0, "SEO Rank Booster");
        {
            const FunnelFileLock build(f.app.file("f.json"));
            QVERIFY(build.isHeld());
            const QString refusal = f.document.SaveAs(f.app.file("f.json"));
            QVERIFY2(refusal.startsWith(f.app.file("f.json") +
                                        " is being built or saved by another Veltrano. Wait until that is "
                                        "finished, then try again. Its lock ") &&
                         refusal.contains(
                             QString(" is held by process %1").arg(QCoreApplication::applicationPid())),
                     qPrintable(refusal));
            QCOMPARE(f.app.read("f.json"), saved);
            QVERIFY(f.document.isModified());
        }
        QCOMPARE(f.document.SaveAs(f.app.file("f.json")), QString());
        QVERIFY(!f.document.isModified());
        QVERIFY(!QFile::exists(f.app.file("f.json.lock")));
    }

    void aBuildIsKeptAndItsAuthorRemembered() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QCOMPARE(f.document.SaveAs(f.app.file("f.json")), QString());
        QVERIFY(f.document.details().identifier.isEmpty());
        PluginDetails built = f.document.details();
        built.identifier = "pbuilt";
        built.author = "Remembered Ann";
        built.authorUrl = "https://ann.example.com";
        built.license = "MIT";
        built.name = "Not Remembered";
        f.document.KeepBuild(built, tokensFor({0}, 'c'));
        // The new identifier and tokens must be saved, or the next build makes another plugin.
        QVERIFY(f.document.isModified());
        QCOMPARE(f.document.details().identifier, QString("pbuilt"));

        f.document.New();
        QVERIFY(f.document.details().identifier.isEmpty());
        QCOMPARE(f.document.tokens(), FunnelTokens());
        QCOMPARE(f.document.details().author, QString("Remembered Ann"));
        QCOMPARE(f.document.details().authorUrl, QString("https://ann.example.com"));
        QCOMPARE(f.document.details().license, QString("MIT"));
        QCOMPARE(f.document.details().name, PluginDetails().name);

        // Another run with the same settings.
        FunnelDocument later(f.catalogue, &f.scratch.settings);
        QCOMPARE(later.details().author, QString("Remembered Ann"));
        // A file without plugin details takes the remembered ones too.
        f.app.write("bare.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        later.model().SetProductChoices(f.catalogue.FillProductLists());
        QCOMPARE(later.Open(f.app.file("bare.json")), QString());
        QCOMPARE(later.details().license, QString("MIT"));
    }

    void withoutSettingsNothingIsRemembered() {
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        FunnelDocument document(catalogue, nullptr);
        PluginDetails built = document.details();
        built.author = "Someone";
        document.KeepBuild(built, {});
        document.New();
        QCOMPARE(document.details().author, PluginDetails().author);
        document.recentFiles().Add(app.file("x.json"));
        QCOMPARE(document.recentFiles().Files(), QStringList{app.file("x.json")});
    }

    void recentFiles() {
        ScratchSettings scratch;
        QTemporaryDir dir;
        RecentFiles recent(&scratch.settings);
        for (int i = 0; i <= RecentFiles::Maximum; ++i)
            recent.Add(dir.filePath(QString("f%1.json").arg(i)));
        QCOMPARE(recent.Files().size(), RecentFiles::Maximum);
        QCOMPARE(recent.Files().first(), dir.filePath(QString("f%1.json").arg(RecentFiles::Maximum)));
        QVERIFY(!recent.Files().contains(dir.filePath("f0.json")));
        QCOMPARE(recent.Files().last(), dir.filePath("f1.json"));

        // The same file named another way moves to the top instead of appearing twice.
        recent.Add(dir.path() + "/sub/../f3.json");
        QCOMPARE(recent.Files().first(), dir.filePath("f3.json"));
        QCOMPARE(recent.Files().count(dir.filePath("f3.json")), 1);
        QCOMPARE(recent.Files().size(), RecentFiles::Maximum);

        recent.Remove(dir.filePath("f5.json"));
        QVERIFY(!recent.Files().contains(dir.filePath("f5.json")));
        RecentFiles again(&scratch.settings);
        QCOMPARE(again.Files(), recent.Files());
        again.Clear();
        QVERIFY(RecentFiles(&scratch.settings).Files().isEmpty());
    }

    void recentFilesEditedByHand() {
        ScratchSettings scratch;
        QStringList stored;
        const QString a = QDir::rootPath() + "tmp/a.json";
        for (int i = 0; i < 12; ++i)
            stored << a << QDir::rootPath() + QString("tmp/b%1.json").arg(i) << "";
        scratch.settings.setValue("recentFiles", stored);
        const QStringList files = RecentFiles(&scratch.settings).Files();
        QCOMPARE(files.size(), RecentFiles::Maximum);
        QCOMPARE(files.count(a), 1);
        QVERIFY(!files.contains(""));
    }
};

QTEST_APPLESS_MAIN(tst_FunnelDocument)
#include "tst_funneldocument.moc"
