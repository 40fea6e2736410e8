#include "plugin/PluginDetails.h"

#include <QTest>

namespace {

PluginDetails sound() {
    PluginDetails d;
    d.identifier = "p4127";
    d.description = "Sells things";
    d.author = "Ann Author";
    d.authorUrl = "https://ann.example.com";
    return d;
}

QString* field(PluginDetails& d, const QString& name) {
    if (name == "identifier")
        return &d.identifier;
    if (name == "name")
        return &d.name;
    if (name == "uri")
        return &d.uri;
    if (name == "description")
        return &d.description;
    if (name == "version")
        return &d.version;
    if (name == "author")
        return &d.author;
    if (name == "authorUrl")
        return &d.authorUrl;
    return &d.license;
}

} // namespace

class tst_PluginDetails : public QObject {
    Q_OBJECT

private slots:
    // Each row changes one field of sound details; `refusal` is a piece of the message, or empty
    // when the details must pass.
    void refusals_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("refusal");
        const QString identifierRule = "may hold only letters";
        QTest::newRow("identifier: plain") << "identifier"
                                           << "p1"
                                           << "";
        QTest::newRow("identifier: 20 characters") << "identifier"
                                                   << "pMaxLenIdentifier_20"
                                                   << "";
        QTest::newRow("identifier: 21 characters") << "identifier"
                                                   << "pMaxLenIdentifier_201" << identifierRule;
        QTest::newRow("identifier: final newline") << "identifier"
                                                   << "p1\n"
                                                   << identifierRule;
        QTest::newRow("identifier: final CR LF") << "identifier"
                                                 << "gui1\r\n"
                                                 << identifierRule;
        QTest::newRow("identifier: query variable") << "identifier"
                                                    << "author"
                                                    << "WordPress uses";
        QTest::newRow("identifier: query variable, other case") << "identifier"
                                                                << "Search"
                                                                << "WordPress uses";
        QTest::newRow("identifier: one letter query variable") << "identifier"
                                                               << "p"
                                                               << "WordPress uses";
        QTest::newRow("identifier: rewrite base") << "identifier"
                                                  << "comments"
                                                  << "WordPress uses";
        QTest::newRow("identifier: feed") << "identifier"
                                          << "feed"
                                          << "WordPress uses";
        QTest::newRow("identifier: page") << "identifier"
                                          << "page"
                                          << "WordPress uses";
        QTest::newRow("identifier: REST prefix as slug") << "identifier"
                                                         << "wp_json"
                                                         << "WordPress uses";
        QTest::newRow("identifier: near a reserved name") << "identifier"
                                                          << "authors"
                                                          << "";
        QTest::newRow("name: accents") << "name"
                                       << "Café Funnel"
                                       << "";
        QTest::newRow("name: with a zero-width space") << "name"
                                                       << "Shop\u200B2"
                                                       << "";
        QTest::newRow("name: no-break space only") << "name"
                                                   << "\u00A0"
                                                   << "visible character";
        QTest::newRow("name: zero-width spaces only") << "name"
                                                      << "\u200B\u200B"
                                                      << "visible character";
        QTest::newRow("name: combining mark only") << "name"
                                                   << "\u0301"
                                                   << "visible character";
        QTest::newRow("name: bidi override") << "name"
                                             << "Shop \u202Egpj.exe"
                                             << "direction";
        QTest::newRow("name: isolate") << "name"
                                       << "\u2067Shop"
                                       << "direction";
        QTest::newRow("name: newline") << "name"
                                       << "Shop\n"
                                       << "single line";
        QTest::newRow("author: header line") << "author"
                                             << "Ann\nRequires PHP: 99.0"
                                             << "single line";
        QTest::newRow("author: line separator") << "author"
                                                << "Ann\u2028Bob"
                                                << "single line";
        QTest::newRow("version: carriage return") << "version"
                                                  << "1.0\r"
                                                  << "single line";
        QTest::newRow("uri: tab") << "uri"
                                  << "https://x.example\t"
                                  << "single line";
        QTest::newRow("licence: ends the comment") << "license"
                                                   << "GPL */"
                                                   << "*/";
        QTest::newRow("description: lines") << "description"
                                            << "One\nRequires PHP: 99.0\r\nThree"
                                            << "";
        QTest::newRow("description: control") << "description"
                                              << "One\x01"
                                              << "control characters";
        QTest::newRow("description: bidi") << "description"
                                           << "abc\u202Edef"
                                           << "direction";
    }
    void refusals() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, refusal);
        PluginDetails d = sound();
        *::field(d, field) = value;
        const QString problem = d.SafetyProblem();
        if (refusal.isEmpty())
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        else
            QVERIFY2(problem.contains(refusal), qPrintable(problem));
    }

    void descriptionLinesBecomeOneHeaderLine() {
        const QString header = BuildPluginHeader("N", "U", "One\nRequires PHP: 99.0\r\nThree\u2029Four\r",
                                                 "1.0", "A", "AU", "GPL");
        const QStringList lines = header.split("\r\n");
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[4], QString("Description: One Requires PHP: 99.0 Three Four "));
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith("Requires"), qPrintable(line));
    }
};

QTEST_APPLESS_MAIN(tst_PluginDetails)
#include "tst_plugindetails.moc"
