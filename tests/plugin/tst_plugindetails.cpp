#include "plugin/PluginDetails.h"
#include "plugin/PluginMetadata.h"

#include <QTest>

namespace {

PluginDetails sound() {
    PluginDetails d;
    d.identifier = "p4127";
    d.description = "Sells things";
    d.author = "Ann Author";
    d.authorUrl = "https://ann.example.com";
    d.uri = "https://shop.example.com/plugin";
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
        const QString identifierRule = "may hold only small letters";
        QTest::newRow("identifier: plain") << "identifier"
                                           << "p1"
                                           << "";
        QTest::newRow("identifier: 20 characters") << "identifier"
                                                   << "pmaxlenidentifier_20"
                                                   << "";
        QTest::newRow("identifier: 21 characters") << "identifier"
                                                   << "pmaxlenidentifier_201" << identifierRule;
        QTest::newRow("identifier: final newline") << "identifier"
                                                   << "p1\n"
                                                   << identifierRule;
        QTest::newRow("identifier: final CR LF") << "identifier"
                                                 << "gui1\r\n"
                                                 << identifierRule;
        QTest::newRow("identifier: query variable") << "identifier"
                                                    << "author"
                                                    << "WordPress uses";
        QTest::newRow("identifier: capitals") << "identifier"
                                              << "Dup" << identifierRule;
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
        // WordPress's header reader ends a field at "?>": a name beginning with it lists as none.
        for (const char* name : {"name", "uri", "description", "version", "author", "authorUrl", "license"})
            QTest::addRow("%s: ends the header field", name) << name << "?>Shop"
                                                             << "must not contain \"?>\"";
        QTest::newRow("uri: empty") << "uri"
                                    << ""
                                    << "";
        QTest::newRow("uri: http") << "uri"
                                   << "http://x.example/p?a=1"
                                   << "";
        QTest::newRow("uri: no scheme") << "uri"
                                        << "www.example.com"
                                        << "web address";
        QTest::newRow("uri: script") << "uri"
                                     << "javascript:alert(1)"
                                     << "web address";
        QTest::newRow("author url: ftp") << "authorUrl"
                                         << "ftp://ann.example.com"
                                         << "web address";
        QTest::newRow("author url: a hint") << "authorUrl"
                                            << "Enter Your Url ..."
                                            << "web address";
        QTest::newRow("author url: empty") << "authorUrl"
                                           << ""
                                           << "";
        QTest::newRow("description: lines") << "description"
                                            << "One\nRequires PHP: 99.0\r\nThree"
                                            << "";
        QTest::newRow("description: control") << "description"
                                              << "One\x01"
                                              << "control characters";
        QTest::newRow("description: bidi") << "description"
                                           << "abc\u202Edef"
                                           << "direction";
        // The name names the archive: names Windows cannot create are refused on every system.
        QTest::newRow("name: device") << "name"
                                      << "Con"
                                      << "device";
        QTest::newRow("name: device, blanks taken out") << "name"
                                                        << "COM 1"
                                                        << "device";
        QTest::newRow("name: device with an extension, whose dot becomes a dash") << "name"
                                                                                 << "lpt9.shop"
                                                                                 << "";
        QTest::newRow("name: device name inside a word") << "name"
                                                         << "Conference"
                                                         << "";
        QTest::newRow("name: port 0") << "name"
                                      << "com0"
                                      << "device";
        QTest::newRow("name: no such device") << "name"
                                              << "com10"
                                              << "";
        // The superscript digits and the console's names, as Windows' naming rules list them.
        for (const char* device : {"LPT0", "COM\u00B9", "COM\u00B2", "COM\u00B3", "LPT\u00B9", "LPT\u00B2",
                                   "LPT\u00B3"})
            QTest::addRow("name: device %s", device) << "name" << QString::fromUtf8(device) << "device";
        // Their "$" and "." become a dash or go: no device is named any more.
        for (const char* mapped : {"CONIN$", "conout$.zip", "Com\u00B2.shop"})
            QTest::addRow("name: device %s mapped away", mapped) << "name" << QString::fromUtf8(mapped) << "";
        QTest::newRow("name: superscript one inside a word") << "name"
                                                             << "Compact\u00B9"
                                                             << "";
        QTest::newRow("identifier: device") << "identifier"
                                            << "aux"
                                            << "device";
        QTest::newRow("identifier: numbered device") << "identifier"
                                                     << "lpt9"
                                                     << "device";
        QTest::newRow("identifier: port 0") << "identifier"
                                            << "lpt0"
                                            << "device";
        QTest::newRow("name: dots only") << "name"
                                         << ". . ."
                                         << "a letter or a digit";
        QTest::newRow("name: quotes and brackets") << "name"
                                                   << "Tom's <b>\"Shop\"?"
                                                   << "";
        QTest::newRow("name: longest") << "name" << QString(PluginDetails::kMaxNameLength, 'n') << "";
        QTest::newRow("name: one too long")
            << "name" << QString(PluginDetails::kMaxNameLength + 1, 'n') << "at most 64";
        QTest::newRow("name: 250 characters") << "name" << QString(250, 'n') << "at most 64";
        QTest::newRow("name: longest in three-byte characters")
            << "name" << QString(PluginDetails::kMaxNameLength, QChar(0x6F22)) << "";
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

    // Letters, digits and "-" only, on every system, so that a funnel file gives one name.
    void archiveNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("archive");
        QTest::newRow("blanks out, lower case") << "My  Big Plugin"
                                                << "mybigplugin";
        QTest::newRow("quotes") << "Bob's \"Best\" Funnel"
                                << "bob-s-best-funnel";
        QTest::newRow("each character Windows refuses") << "a<b>c:d\"e|f?g*h"
                                                        << "a-b-c-d-e-f-g-h";
        QTest::newRow("ampersand and bang") << "Yoga & Fitness Funnel!"
                                            << "yoga-fitnessfunnel";
        QTest::newRow("leading dots") << "..Shop"
                                      << "shop";
        QTest::newRow("trailing dot and blank") << "Shop. "
                                                << "shop";
        QTest::newRow("a run of others is one dash") << "Shop...Pro_2"
                                                     << "shop-pro-2";
        QTest::newRow("dashes typed stay single") << "Shop--Pro"
                                                  << "shop-pro";
        QTest::newRow("nothing but others") << "&&!"
                                            << "";
        QTest::newRow("slash and backslash") << "a/b\\c"
                                             << "a-b-c";
        QTest::newRow("accents stay") << "Café"
                                      << "café";
    }
    void archiveNames() {
        QFETCH(QString, name);
        QFETCH(QString, archive);
        QCOMPARE(ArchiveName(name), archive);
    }

    void descriptionLinesBecomeOneHeaderLine() {
        PluginDetails d = sound();
        d.description = "One\nRequires PHP: 99.0\r\nThree\u2029Four\r";
        const QStringList lines = PluginMetadata::BuildPluginHeader(d).split("\n");
        QVERIFY(lines.contains(" * Description:       One Requires PHP: 99.0 Three Four "));
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith("Requires"), qPrintable(line));
    }

    // Written out by hand: the header WordPress reads, in one doc block, LF line ends.
    void headerOfTheDefaults() {
        PluginDetails d;
        d.identifier = "p4127";
        QCOMPARE(PluginMetadata::BuildPluginHeader(d),
                 QString("<?php\n"
                         "/**\n"
                         " * Plugin Name:       My Plugin\n"
                         " * Version:           1.0\n"
                         " * Requires at least: 6.1\n"
                         " * Requires PHP:      7.4\n"
                         " * License:           GPL-2.0-or-later\n"
                         " * License URI:       https://www.gnu.org/licenses/gpl-2.0.html\n"
                         " * Text Domain:       p4127\n"
                         " * Domain Path:       /languages\n"
                         " */"));
        QVERIFY(d.RequiredFieldsFilled());
        QVERIFY2(d.SafetyProblem().isEmpty(), qPrintable(d.SafetyProblem()));
    }

    void emptyFieldsStayOutOfTheHeader_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::newRow("uri") << "uri"
                             << "Plugin URI:";
        QTest::newRow("description") << "description"
                                     << "Description:";
        QTest::newRow("version") << "version"
                                 << "Version:";
        QTest::newRow("author") << "author"
                                << "Author:";
        QTest::newRow("author url") << "authorUrl"
                                    << "Author URI:";
        QTest::newRow("licence") << "license"
                                 << "License";
    }
    void emptyFieldsStayOutOfTheHeader() {
        QFETCH(QString, field);
        QFETCH(QString, line);
        PluginDetails d = sound();
        const QString full = PluginMetadata::BuildPluginHeader(d);
        QVERIFY2(full.contains(" * " + line), qPrintable(full));
        ::field(d, field)->clear();
        const QString header = PluginMetadata::BuildPluginHeader(d);
        QVERIFY2(!header.contains(" * " + line), qPrintable(header));
        QCOMPARE(header.count('\n'), full.count('\n') - (field == "license" ? 2 : 1));
        QVERIFY(d.RequiredFieldsFilled());
        QVERIFY2(d.SafetyProblem().isEmpty(), qPrintable(d.SafetyProblem()));
        if (field == "version")
            QVERIFY(!PluginMetadata::BuildReadme(d).contains("Stable tag"));
    }

    void requiredFields() {
        PluginDetails d = sound();
        d.name.clear();
        QVERIFY(!d.RequiredFieldsFilled());
        d = sound();
        d.identifier.clear();
        QVERIFY(!d.RequiredFieldsFilled());
        d = sound();
        d.name = " ";
        QVERIFY(d.RequiredFieldsFilled());
    }

    void contributors_data() {
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("contributor");
        QTest::newRow("name and surname") << "Ann Author"
                                          << "annauthor";
        QTest::newRow("accents dropped") << "Jos\u00e9 M\u00fcller-\u00c5s"
                                         << "josemulleras";
        QTest::newRow("quotes and markup") << "Bob's <b>\"Best\"</b> #1"
                                           << "bobsbbestb1";
        QTest::newRow("no latin letter") << "\u674e\u5a1c"
                                         << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("longest") << QString(60, 'x') << QString(50, 'x');
    }
    void contributors() {
        QFETCH(QString, author);
        QFETCH(QString, contributor);
        QCOMPARE(PluginMetadata::Contributor(author), contributor);
        PluginDetails d = sound();
        d.author = author;
        const QString readme = PluginMetadata::BuildReadme(d);
        QCOMPARE(readme.contains("\nContributors: " + contributor + "\n"), !contributor.isEmpty());
        QCOMPARE(readme.contains("Contributors:"), !contributor.isEmpty());
    }

    void licenceAddresses_data() {
        QTest::addColumn<QString>("license");
        QTest::addColumn<QString>("uri");
        QTest::newRow("default") << "GPL-2.0-or-later"
                                 << "https://www.gnu.org/licenses/gpl-2.0.html";
        QTest::newRow("gpl 2 only, other case") << "gpl-2.0-only"
                                                << "https://www.gnu.org/licenses/gpl-2.0.html";
        QTest::newRow("gpl 3 or later") << "GPL-3.0-or-later"
                                        << "https://www.gnu.org/licenses/gpl-3.0.html";
        QTest::newRow("mit") << "MIT"
                             << "https://opensource.org/licenses/MIT";
        QTest::newRow("unknown") << "Proprietary"
                                 << "";
        QTest::newRow("bare GPL names no version") << "GPL"
                                                   << "";
    }
    void licenceAddresses() {
        QFETCH(QString, license);
        QFETCH(QString, uri);
        QCOMPARE(PluginMetadata::LicenseUri(license), uri);
        PluginDetails d = sound();
        d.license = license;
        QCOMPARE(PluginMetadata::BuildPluginHeader(d).contains("License URI:"), !uri.isEmpty());
        QCOMPARE(PluginMetadata::BuildReadme(d).contains("License URI: " + uri + "\n"), !uri.isEmpty());
    }

    void readme() {
        PluginDetails d = sound();
        d.name = "Tom's Shop";
        d.version = "2.1";
        d.description = "Sells things.\nEvery day.";
        QCOMPARE(
            PluginMetadata::BuildReadme(d),
            QString(
                "=== Tom's Shop ===\n"
                "Contributors: annauthor\n"
                "Requires at least: 6.1\n"
                "Tested up to: 7.1\n"
                "Requires PHP: 7.4\n"
                "Stable tag: 2.1\n"
                "License: GPL-2.0-or-later\n"
                "License URI: https://www.gnu.org/licenses/gpl-2.0.html\n"
                "\n"
                "Sells things. Every day.\n"
                "\n"
                "== Description ==\n"
                "\n"
                "Sells things.\n"
                "Every day.\n"
                "\n"
                "== Statistics and privacy ==\n"
                "\n"
                "Each funnel's edit screen shows how often the sales page and the download page of every "
                "item were viewed in the last 7 days, the last 30 days and all time, and the conversion "
                "rate (download page views, that is purchases, per sales page view). With a payment check, "
                "it also shows the verified orders and their revenue in each currency, and the conversion "
                "rate counts verified orders instead.\n"
                "\n"
                "The plugin keeps one counter per funnel page and day in a table of its own. It stores no "
                "IP address, no cookie and no user agent. A visitor's repeated views of a page on one day "
                "count once: for that day only, the plugin keeps a keyed hash of the visitor's address and "
                "the page, whose random key changes every day; the day's hashes are deleted the next day, "
                "so no visitor can be recognised later. Views by users who can edit the funnel, by bots "
                "and by browser prefetches are not counted. Purchases are views of a download page, where "
                "the payment provider sends buyers; no payment is verified unless the funnel's payment "
                "check is on, and views of one download page from one network (an IPv4 /24, an IPv6 /64) "
                "count once a day. The counters are removed with the funnel, or with the plugin when it "
                "is deleted.\n"
                "\n"
                "With a payment check (Stripe or PayPal), the plugin asks the payment provider to confirm "
                "each payment before it shows the downloads, and keeps each confirmed payment as an order in "
                "a table of its own: the provider, the provider's payment id, the item, the amount and "
                "currency, the time and the buyer's email address as the provider gives it. The email "
                "address is used "
                "only to send the buyer a personal link to the downloads. The buyer's browser keeps a "
                "cookie of the order numbers it opened with such links, signed by the site and holding "
                "nothing else, so that a later item's download page shows the earlier items bought. For "
                "ten minutes after a checkout starts, a keyed hash of the visitor's network address is "
                "kept to limit checkouts per visitor, then blanked. Orders are kept until their funnel is "
                "deleted, or the plugin with it. WordPress's personal data tools (Tools, Export Personal "
                "Data and Erase Personal Data) find a buyer's orders by their email address and export "
                "them; erasing removes the address and keeps each order's item, amount and date for the "
                "seller's records. After the front end is bought, a visit record takes the buyer "
                "through the funnel's offers: it holds the road taken, the orders made and the "
                "provider's customer and saved payment method, which one-click offers charge. A visit "
                "ends after a set time without a step (60 minutes unless the seller changes it); its end "
                "gives the saved method back to the provider and mails the buyer once. Erasing also "
                "removes the provider's customer from the buyer's visits.\n"
                "\n"
                "== Sales copy ==\n"
                "\n"
                "Each item's sales page can carry sales copy written in the block editor: the item's box on "
                "the funnel's edit screen has \"Edit sales copy\", and the \"Sales page\" pattern category "
                "offers eight ready-made sections. The copy stands between the product image and the buy "
                "button; its excerpt is the page's description for search engines and social sites. An "
                "empty copy leaves the page as it was. Copies are private to those who may edit their "
                "funnel, and are deleted with it.\n"
                "\n"
                "== Split tests ==\n"
                "\n"
                "A funnel's edit screen can test an item's sales page against up to three versions of it, "
                "each changing the page title, the headline, the image or, with a payment check, the price, "
                "each with its share of visitors. The version a visitor sees follows from a keyed hash of a "
                "random visitor id, so they see the same version whenever they return, and a buyer the "
                "same version through every offer of a visit. The id is kept in a first-party cookie, "
                "veltrano_p4127__visitor, that holds nothing else, is set only on the sales page of an item "
                "under test and lasts 180 days. While a test runs, the plugin keeps a keyed hash of each "
                "counted visitor's id, so that a visitor counts once; the hashes are deleted when the test "
                "ends. A test's figures are daily totals per version (visitors, conversions and revenue); "
                "an ended test's totals stay in the item's history until the seller deletes them. Bots, "
                "browser prefetches and users who can edit the funnel are never counted and see the page "
                "as it is.\n"));
    }

    // The directory shows 150 characters of the short description: longer ones end in an ellipsis.
    void shortDescriptionLength_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("cut");
        QTest::newRow("149") << 149 << false;
        QTest::newRow("150") << 150 << false;
        QTest::newRow("151") << 151 << true;
        QTest::newRow("1000") << 1000 << true;
    }
    void shortDescriptionLength() {
        QFETCH(int, length);
        QFETCH(bool, cut);
        PluginDetails d = sound();
        d.description = QString("word ").repeated(length / 5 + 1).left(length - 1) + "z";
        const QString shortDescription = PluginMetadata::BuildReadme(d).split("\n\n").at(1);
        QVERIFY(shortDescription.size() <= 150);
        QCOMPARE(shortDescription.endsWith(QChar(0x2026)), cut);
        if (!cut)
            QCOMPARE(shortDescription, d.description);
        else
            QVERIFY2(shortDescription.endsWith(QString("word") + QChar(0x2026)),
                     qPrintable(shortDescription));
    }
};

QTEST_APPLESS_MAIN(tst_PluginDetails)
#include "tst_plugindetails.moc"
