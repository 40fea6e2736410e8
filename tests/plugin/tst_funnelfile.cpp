#include "NormalUser.h"
#include "TestAppFolder.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/KelvrinTools.h"
#include "plugin/FunnelFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Every detail different from its default and from each other, so a field written under one key
// and read under another cannot pass.
PluginDetails distinctDetails() {
    PluginDetails details;
    details.identifier = QStringLiteral("pround7");
    details.name = QStringLiteral("Round Trip \"Plugin\"");
    details.uri = QStringLiteral("https://uri.example.com/p?a=1&b=2");
    details.description = QStringLiteral("Line one\nline two with ünïcödé");
    details.version = QStringLiteral("3.4.5");
    details.author = QStringLiteral("Ann Author");
    details.authorUrl = QStringLiteral("https://ann.example.com");
    details.license = QStringLiteral("GPLv2 or later");
    return details;
}

struct Loaded {
    QString problem;
    FunnelFileContent content;
};

Loaded parse(const QByteArray& json) {
    Loaded result;
    result.problem = FunnelFile::Parse(json, PluginDetails(), result.content);
    return result;
}

QByteArray withFrontEnd(const QByteArray& rest) {
    return "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]" + rest + "}";
}

// `length` letters and digits in a row from the alphabet's position `start`.
QByteArray varied(int length, int start) {
    static const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray body;
    for (int i = 0; i < length; ++i)
        body += alphabet[(start + i) % alphabet.size()];
    return body;
}

QByteArray withTokens(const QByteArray& salesBody, const QByteArray& downloadBody) {
    return "{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"sp" + salesBody + "\", \"download\": \"dld" +
           downloadBody + "\"}}]}";
}

void compareSlots(const FunnelModel& actual, const FunnelModel& expected) {
    QCOMPARE(actual.PresentSlots(), expected.PresentSlots());
    for (int n : expected.PresentSlots()) {
        QCOMPARE(actual.Slot(n).cboProduct, expected.Slot(n).cboProduct);
        QCOMPARE(actual.Slot(n).txtProductDownloadUrl, expected.Slot(n).txtProductDownloadUrl);
        QCOMPARE(actual.Slot(n).txtSalesPageImage, expected.Slot(n).txtSalesPageImage);
    }
}

void compareDetails(const PluginDetails& actual, const PluginDetails& expected) {
    QCOMPARE(actual.identifier, expected.identifier);
    QCOMPARE(actual.name, expected.name);
    QCOMPARE(actual.uri, expected.uri);
    QCOMPARE(actual.description, expected.description);
    QCOMPARE(actual.version, expected.version);
    QCOMPARE(actual.author, expected.author);
    QCOMPARE(actual.authorUrl, expected.authorUrl);
    QCOMPARE(actual.license, expected.license);
}

} // namespace

class tst_FunnelFile : public QObject {
    Q_OBJECT

private slots:
    void roundTripKeepsEverything_data() {
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("front end alone") << QList<int>{0};
        QTest::newRow("first downsell") << QList<int>{0, 1, 3};
        QTest::newRow("last slot") << QList<int>{0, 1, 2, 4};
        QTest::newRow("all five") << QList<int>{0, 1, 2, 3, 4};
    }
    void roundTripKeepsEverything() {
        QFETCH(QList<int>, shown);
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        const QStringList choices = catalogue.FillProductLists();
        const QStringList products{"Traffic Magnet Pro", "My Products: Demo Product", "Webinar Wealth",
                                   "Kindle Publishing Empire", "SEO Rank Booster"};

        FunnelModel funnel;
        funnel.SetProductChoices(choices);
        FunnelTokens tokens;
        for (int n : shown) {
            if (n == 1 || n == 2)
                QVERIFY(funnel.AddUpsell(n - 1));
            else if (n == 3 || n == 4)
                QVERIFY(funnel.AddDownsell(n - 2));
            funnel.SetProductText(n, products[n]);
            funnel.SelectProduct(n, catalogue);
            tokens.sales[size_t(n)] = QStringLiteral("sp%1abcdefghijklmnopqrstuvwxyz").arg(n);
            tokens.download[size_t(n)] = QStringLiteral("dld%1zyxwvutsrqponmlkjihgfedcba").arg(n);
        }
        funnel.SetDownloadUrl(shown.last(), "https://typed.example.com/last.zip");
        const PluginDetails details = distinctDetails();

        const QByteArray written = FunnelFile::Write(funnel, details, tokens);
        const Loaded loaded = parse(written);
        QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        FunnelModel readBack;
        QCOMPARE(FunnelFile::Apply(loaded.content, catalogue, choices, readBack), QString());

        compareSlots(readBack, funnel);
        QCOMPARE(readBack.Slot(shown.last()).txtProductDownloadUrl,
                 QString("https://typed.example.com/last.zip"));
        compareDetails(loaded.content.details, details);
        QCOMPARE(loaded.content.tokens, tokens);
        QCOMPARE(
            FunnelFile::Write(readBack, loaded.content.details, loaded.content.tokens, loaded.content.source),
            written);
        QCOMPARE(QJsonDocument::fromJson(written).object().value("format").toInt(), FunnelFile::Format);
    }

    // The keys as documented, so a key misspelt alike in writing and reading is caught too.
    void readsTheDocumentedKeys() {
        const Loaded loaded =
            parse("{ \"format\": 1,\n"
                  "            \"items\": [ { \"slot\": 0, \"product\": \"Webinar Wealth\", \"download\": "
                  "\"https://d.example.com/0\",\n"
                  "                         \"tokens\": { \"sales\": \"sp0123456789abcdefghij\", "
                  "\"download\": \"dldklmnopqrstuvwxyz0123\" } } ],\n"
                  "            \"plugin\": { \"identifier\": \"pkeys\", \"name\": \"N\", \"uri\": \"U\", "
                  "\"description\": \"D\",\n"
                  "                        \"version\": \"V\", \"author\": \"A\", \"authorUrl\": \"AU\", "
                  "\"license\": \"L\" } }");
        QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        const PluginDetails& d = loaded.content.details;
        QCOMPARE(QStringList({d.identifier, d.name, d.uri, d.description, d.version, d.author, d.authorUrl,
                              d.license}),
                 QStringList({"pkeys", "N", "U", "D", "V", "A", "AU", "L"}));
        QCOMPARE(loaded.content.items[0].download, QString("https://d.example.com/0"));
        QVERIFY(loaded.content.items[0].hasDownload);
        QCOMPARE(loaded.content.tokens.sales[0], QString("sp0123456789abcdefghij"));
        QCOMPARE(loaded.content.tokens.download[0], QString("dldklmnopqrstuvwxyz0123"));
    }

    void fieldsLeftOutKeepTheDefaults() {
        PluginDetails defaults;
        defaults.author = "Remembered Author";
        defaults.identifier = "pnotfromdefaults";
        FunnelFileContent content;
        QCOMPARE(
            FunnelFile::Parse(withFrontEnd(", \"plugin\": {\"name\": \"Only Name\"}"), defaults, content),
            QString());
        QCOMPARE(content.details.name, QString("Only Name"));
        QCOMPARE(content.details.author, QString("Remembered Author"));
        QCOMPARE(content.details.license, QString("GPL-2.0-or-later"));
        // An identifier is the funnel's own, never a default.
        QVERIFY(content.details.identifier.isEmpty());
        QCOMPARE(content.tokens, FunnelTokens());
        QVERIFY(!content.items[0].hasDownload);
    }

    void wrongTypesAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("download number")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\", \"download\": 5}]}")
            << "Front End Offer (slot 0): \"download\" must be text, not a number.";
        QTest::newRow("identifier number") << withFrontEnd(", \"plugin\": {\"identifier\": 5}")
                                           << "\"identifier\" in \"plugin\" must be text, not a number.";
        QTest::newRow("author null") << withFrontEnd(", \"plugin\": {\"authorUrl\": null}")
                                     << "\"authorUrl\" in \"plugin\" must be text, not null.";
        QTest::newRow("plugin text") << withFrontEnd(", \"plugin\": \"x\"")
                                     << "\"plugin\" must be an object, not text.";
        QTest::newRow("product list") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": [\"a\"]}]}")
                                      << "Front End Offer (slot 0): \"product\" must be text, not a list.";
        QTest::newRow("items object")
            << QByteArray("{\"items\": {}}") << "\"items\" must be a list, not an object.";
        QTest::newRow("item text") << QByteArray("{\"items\": [\"Webinar Wealth\"]}")
                                   << "Item 1 of \"items\" must be an object, not text.";
        QTest::newRow("slot text") << QByteArray(
                                          "{\"items\": [{\"slot\": \"0\", \"product\": \"Webinar Wealth\"}]}")
                                   << "Every item needs a \"slot\" from 0 to 4.";
        QTest::newRow("slot fraction")
            << QByteArray("{\"items\": [{\"slot\": 0.5, \"product\": \"Webinar Wealth\"}]}")
            << "Every item needs a \"slot\" from 0 to 4.";
        QTest::newRow("slot below") << QByteArray(
                                           "{\"items\": [{\"slot\": -1, \"product\": \"Webinar Wealth\"}]}")
                                    << "Every item needs a \"slot\" from 0 to 4.";
        QTest::newRow("slot above") << QByteArray(
                                           "{\"items\": [{\"slot\": 5, \"product\": \"Webinar Wealth\"}]}")
                                    << "Every item needs a \"slot\" from 0 to 4.";
        QTest::newRow("format text") << withFrontEnd(", \"format\": \"1\"")
                                     << "\"format\" must be a whole number from 1, not text.";
        QTest::newRow("format zero") << withFrontEnd(", \"format\": 0")
                                     << "\"format\" must be a whole number from 1, not a number.";
        QTest::newRow("format newer") << withFrontEnd(", \"format\": 2") << "has format 2";
        QTest::newRow("tokens text")
            << QByteArray(
                   "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\", \"tokens\": \"sp1\"}]}")
            << "Front End Offer (slot 0): \"tokens\" must be an object, not text.";
        QTest::newRow("token without prefix")
            << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"1111111111111111111111\", "
                          "\"download\": \"dld11111111111111111111\"}}]}")
            << "Front End Offer (slot 0): \"tokens\" needs \"sales\"";
        QTest::newRow("token with code")
            << QByteArray(
                   "{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": "
                   "\"sp11111111111111111111\", \"download\": \"dld11111111111111111111\\\"; exit;\"}}]}")
            << "Front End Offer (slot 0): \"tokens\" needs \"download\"";
        QTest::newRow("token upper case")
            << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"spAAAAAAAAAAAAAAAAAAAA\", "
                          "\"download\": \"dld11111111111111111111\"}}]}")
            << "needs \"sales\"";
        QTest::newRow("token half")
            << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"sp11111111111111111111\"}}]}")
            << "needs \"download\"";
        QTest::newRow("token twice")
            << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"sp11111111111111111111\", "
                          "\"download\": \"dld33333333333333333333\"}},"
                          "{\"slot\": 1, \"tokens\": {\"sales\": \"sp11111111111111111111\", \"download\": "
                          "\"dld22222222222222222222\"}}]}")
            << "Upsell #1 (slot 1): the token \"sp11111111111111111111\" is used twice.";
    }
    void wrongTypesAreRefusedByName() {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const Loaded loaded = parse(json);
        QVERIFY2(loaded.problem.contains(message), qPrintable(loaded.problem));
    }

    // Each row holds its key twice, or, with an empty path, equal keys in different objects.
    void duplicateKeysAreRefusedByPath_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("path");
        QTest::newRow("top level") << withFrontEnd(", \"items\": []") << "items";
        QTest::newRow("plugin field") << withFrontEnd(", \"plugin\": {\"identifier\": \"pA\", \"name\": "
                                                      "\"N\", \"identifier\": \"pB\"}")
                                      << "plugin.identifier";
        QTest::newRow("second item") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar "
                                                   "Wealth\"}, {\"slot\": 1, \"product\": \"A\", "
                                                   "\"product\": \"B\"}]}")
                                     << "items[1].product";
        QTest::newRow("inside tokens")
            << QByteArray("{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"x\", \"sales\": \"y\"}}]}")
            << "items[0].tokens.sales";
        QTest::newRow("spelt with an escape")
            << withFrontEnd(", \"plugin\": {\"name\": \"A\", \"n\\u0061me\": \"B\"}") << "plugin.name";
        QTest::newRow("after a nested list")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], \"x\": [[1, "
                          "{\"a\": 1}], {\"a\": 2, \"a\": 3}]}")
            << "x[1].a";
        QTest::newRow("same key in two objects")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}, {\"slot\": 1, "
                          "\"product\": \"Webinar Wealth\"}], \"plugin\": {\"name\": \"N\"}, \"name\": 1}")
            << "";
        QTest::newRow("key text inside a value")
            << withFrontEnd(", \"plugin\": {\"description\": \"{\\\"items\\\": 1, \\\"x\\\": \\\"\", "
                            "\"name\": \"\\\\\"}")
            << "";
        QTest::newRow("keys differing in case") << withFrontEnd(", \"Items\": 1") << "";
    }
    void duplicateKeysAreRefusedByPath() {
        QFETCH(QByteArray, json);
        QFETCH(QString, path);
        const Loaded loaded = parse(json);
        if (path.isEmpty())
            QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        else
            QCOMPARE(loaded.problem,
                     QStringLiteral("The funnel file gives \"%1\" twice; keep only one of them.").arg(path));
    }

    void tokenLengthLimit_data() {
        QTest::addColumn<int>("digits");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("too short") << 19 << false;
        QTest::newRow("shortest") << 20 << true;
        QTest::newRow("longest") << 64 << true;
        QTest::newRow("too long") << 65 << false;
    }
    void tokenLengthLimit() {
        QFETCH(int, digits);
        QFETCH(bool, accepted);
        const Loaded loaded = parse(withTokens(varied(digits, 0), varied(digits, 1)));
        QCOMPARE(loaded.problem.isEmpty(), accepted);
    }

    // A message empty for a row means the tokens are accepted.
    void weakTokensAreRefusedByName_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("strong") << withTokens(varied(24, 0), varied(24, 5)) << "";
        QTest::newRow("one character")
            << withTokens(QByteArray(24, 'a'), varied(24, 5))
            << "Front End Offer (slot 0): the sales token \"spaaaaaaaaaaaaaaaaaaaaaaaa\" is too easy to guess: its random "
               "part has 1 different characters, at least 7 are needed.";
        QTest::newRow("six different") << withTokens(varied(24, 0), QByteArray("abcdef").repeated(4))
                                       << "download token \"dldabcdefabcdefabcdefabcdef\" is too easy";
        QTest::newRow("seven different")
            << withTokens(varied(24, 0), QByteArray("abcdefg").repeated(3) + "abc") << "";
        QTest::newRow("download repeats the sales body")
            << withTokens(varied(24, 3), varied(24, 3))
            << QString("Front End Offer (slot 0): the download token \"dld" + varied(24, 3) +
                       "\" has the same random part as the sales token of Front End Offer (slot 0); every token needs its own. "
                       "Delete that item's \"tokens\"");
        QTest::newRow("shared across slots")
            << "{\"items\": [{\"slot\": 0, \"tokens\": {\"sales\": \"sp" + varied(24, 0) +
                   "\", \"download\": \"dld" + varied(24, 1) +
                   "\"}}, {\"slot\": 1, \"tokens\": {\"sales\": \"sp" + varied(24, 1) +
                   "\", \"download\": \"dld" + varied(24, 2) + "\"}}]}"
            << QString("Upsell #1 (slot 1): the sales token \"sp" + varied(24, 1) +
                       "\" has the same random part as the download token of Front End Offer (slot 0)");
    }
    void weakTokensAreRefusedByName() {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        const Loaded loaded = parse(json);
        if (message.isEmpty())
            QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        else
            QVERIFY2(loaded.problem.contains(message), qPrintable(loaded.problem));
    }

    void unknownFieldsAreKeptOnSaving() {
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        const QStringList choices = catalogue.FillProductLists();
        const Loaded loaded =
            parse("{ \"comment\": \"kept\", \"items\": [\n"
                  "              { \"slot\": 0, \"product\": \"Webinar Wealth\", \"note\": \"item note\" },\n"
                  "              { \"slot\": 1, \"product\": \"SEO Rank Booster\", \"note\": \"removed "
                  "item\" } ],\n"
                  "            \"plugin\": { \"name\": \"N\", \"colour\": \"blue\" } }");
        QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        FunnelModel funnel;
        QCOMPARE(FunnelFile::Apply(loaded.content, catalogue, choices, funnel), QString());
        QCOMPARE(funnel.RemoveItem(1), FunnelModel::RemoveResult::Removed);

        const QJsonObject written = QJsonDocument::fromJson(FunnelFile::Write(funnel, loaded.content.details,
                                                                              {}, loaded.content.source))
                                        .object();
        QCOMPARE(written.value("comment").toString(), QString("kept"));
        QCOMPARE(written.value("plugin").toObject().value("colour").toString(), QString("blue"));
        const QJsonArray items = written.value("items").toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].toObject().value("note").toString(), QString("item note"));
        QVERIFY(!written.value("plugin").toObject().contains("identifier"));
    }

    void applyRefusesUnknownProductsAndChangesNothing() {
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        const QStringList choices = catalogue.FillProductLists();
        FunnelModel funnel;
        funnel.SetProductText(0, "Webinar Wealth");
        const Loaded loaded = parse("{\"items\": [{\"slot\": 0, \"product\": \"Traffic Magnet Pro\"},"
                                    "{\"slot\": 1, \"product\": \"My Products: Gone\"}]}");
        QVERIFY(loaded.problem.isEmpty());
        QCOMPARE(FunnelFile::Apply(loaded.content, catalogue, choices, funnel),
                 QString("Upsell #1 (slot 1): unknown product \"My Products: Gone\"."));
        QCOMPARE(funnel.PresentSlots(), QList<int>{0});
        QCOMPARE(funnel.Slot(0).cboProduct, QString("Webinar Wealth"));
    }

    void anItemWithoutProductIsShownEmpty() {
        TestAppFolder app;
        ProductCatalogue catalogue(app.path());
        const Loaded loaded = parse(
            "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}, {\"slot\": 2}, {\"slot\": 1}]}");
        QVERIFY2(loaded.problem.isEmpty(), qPrintable(loaded.problem));
        FunnelModel funnel;
        QCOMPARE(FunnelFile::Apply(loaded.content, catalogue, catalogue.FillProductLists(), funnel),
                 QString());
        QCOMPARE(funnel.PresentSlots(), (QList<int>{0, 1, 2}));
        QVERIFY(funnel.Slot(1).cboProduct.isEmpty());
        QVERIFY(funnel.Slot(2).txtProductDownloadUrl.isEmpty());
    }

    void readingFromDisk() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.json");
        QByteArray bytes;
        QVERIFY(FunnelFile::ReadFile(path, bytes).contains("does not exist"));
        QVERIFY(FunnelFile::ReadFile(dir.path(), bytes).contains("is not a funnel file"));

        QCOMPARE(FunnelFile::WriteFile(path, QByteArray(FunnelFile::MaximumSize, ' ')), QString());
        QCOMPARE(FunnelFile::ReadFile(path, bytes), QString());
        QCOMPARE(bytes.size(), FunnelFile::MaximumSize);
        QCOMPARE(FunnelFile::WriteFile(path, QByteArray(FunnelFile::MaximumSize + 1, ' ')), QString());
        QVERIFY(FunnelFile::ReadFile(path, bytes).contains("too large"));

        QVERIFY(!FunnelFile::WriteFile(dir.filePath("missing/f.json"), "{}").isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("missing/f.json")));
        // A file that cannot be replaced keeps what it held.
        QCOMPARE(FunnelFile::WriteFile(path, "old"), QString());
        QFile(dir.path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const QString problem = FunnelFile::WriteFile(path, "new");
        QFile(dir.path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (problem.isEmpty())
            QSKIP("The folder stays writable (running as root?).");
        QCOMPARE(FunnelFile::ReadFile(path, bytes), QString());
        QCOMPARE(bytes, QByteArray("old"));
    }

#ifdef Q_OS_UNIX
    // What the user set on the file outlives a save: its owner, permissions, other names and the
    // link it is reached by. "user" is the user the save runs as (nobody, when the test runs as
    // root); "root" another user's file.
    void savingKeepsWhatTheUserSet_data() {
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("secondName");
        QTest::addColumn<bool>("throughLink");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("own file") << false << "user" << 0640 << 0755 << false << false << "replaced";
        QTest::newRow("own file with a second name")
            << false << "user" << 0640 << 0755 << true << false << "in place";
        QTest::newRow("through a symbolic link")
            << false << "user" << 0600 << 0755 << false << true << "replaced";
        QTest::newRow("another user's file in a shared folder")
            << false << "root" << 0666 << 01777 << false << false << "in place";
        QTest::newRow("read-only file") << false << "user" << 0444 << 0755 << false << false << "refused";
        QTest::newRow("read-only folder") << false << "user" << 0644 << 0555 << false << false << "refused";
        QTest::newRow("another user's file not writable")
            << false << "root" << 0644 << 01777 << false << false << "refused";
        QTest::newRow("root keeps the user's owner")
            << true << "user" << 0640 << 0755 << false << false << "replaced";
        QTest::newRow("root and a read-only file")
            << true << "user" << 0444 << 0755 << false << false << "refused";
    }
    void savingKeepsWhatTheUserSet() {
        QFETCH(bool, asRoot);
        QFETCH(QString, owner);
        QFETCH(int, fileMode);
        QFETCH(int, folderMode);
        QFETCH(bool, secondName);
        QFETCH(bool, throughLink);
        QFETCH(QString, outcome);
        if ((asRoot || owner == "root") && !NormalUser::IsRoot())
            QSKIP("needs root to set up");
        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString folder = base.filePath("f");
        const QString file = folder + "/funnel.json";
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(FunnelFile::WriteFile(file, "old content"), QString());
        const auto encoded = [](const QString& path) { return QFile::encodeName(path); };
        if (secondName)
            QCOMPARE(::link(encoded(file), encoded(folder + "/second.json")), 0);
        const QString path = throughLink ? base.filePath("link.json") : file;
        if (throughLink)
            QVERIFY(QFile::link(file, path));
        const uid_t uid = owner == "root" ? 0 : NormalUser::Uid();
        const gid_t gid = owner == "root" ? 0 : NormalUser::Gid();
        for (const QString& name : {file, folder})
            QCOMPARE(::chown(encoded(name), uid, gid), 0);
        QCOMPARE(::chmod(encoded(file), mode_t(fileMode)), 0);
        QCOMPARE(::chmod(encoded(folder), mode_t(folderMode)), 0);
        struct stat before {};
        QCOMPARE(::stat(encoded(file), &before), 0);

        const auto save = [&] { return FunnelFile::WriteFile(path, "new content").isEmpty() ? 0 : 1; };
        const int result = asRoot ? save() : NormalUser::Run(save);
        ::chmod(encoded(folder), 0755);

        struct stat after {};
        QCOMPARE(::stat(encoded(file), &after), 0);
        QCOMPARE(result, outcome == "refused" ? 1 : 0);
        QByteArray bytes;
        QCOMPARE(FunnelFile::ReadFile(file, bytes), QString());
        QCOMPARE(bytes, outcome == "refused" ? QByteArray("old content") : QByteArray("new content"));
        QCOMPARE(after.st_ino == before.st_ino, outcome != "replaced");
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_nlink, before.st_nlink);
        if (secondName) {
            QCOMPARE(FunnelFile::ReadFile(folder + "/second.json", bytes), QString());
            QCOMPARE(bytes, QByteArray("new content"));
        }
        QCOMPARE(QFileInfo(path).isSymLink(), throughLink);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), secondName ? 2 : 1);
    }
#endif
};

QTEST_APPLESS_MAIN(tst_FunnelFile)
#include "tst_funnelfile.moc"
