#include "Recorders.h"
#include "TestAppFolder.h"
#include "TestPlatform.h"
#include "ZipReader.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/FunnelTokens.h"
#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"
#include "platform/PathRules.h"
#include "plugin/PluginBuilder.h"
#include "plugin/PluginDetails.h"
#include "plugin/PluginNames.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kTokens{
    "#prefix#",          "#fn#",          "#posttype#",     "#slug#",       "#SWITCHENTRIES#",
    "#FUNNELMETABOXES#", "#header#",      "#menuname#",     "#PLUGINID#",   "#IMAGE#",
    "#DOWNLOAD_LINKS#",  "#FUNNELITEM",   "#DOWNLOADCODE#", "#FUNNELCODE#", "#PRODUCT_NAME#",
    "#IMAGE_WIDTH#",     "#IMAGE_HEIGHT#"};

// A funnel of the slots given, each added in the order the buttons allow; slot 3 is the custom one.
FunnelModel* funnelOf(const TestAppFolder& app, const QList<int>& shown) {
    auto* model = new FunnelModel;
    for (int n : shown) {
        if (n == 1 || n == 2)
            model->AddUpsell(n - 1);
        else if (n == 3 || n == 4)
            model->AddDownsell(n - 2);
    }
    const QStringList products{"Traffic Magnet Pro", "Webinar Wealth", "Copywriting Mastery",
                               "My Products: Demo Product", "Kindle Publishing Empire"};
    ProductCatalogue catalogue(app.path());
    catalogue.FillProductLists();
    for (int n : model->PresentSlots()) {
        model->SetProductText(n, products[n]);
        model->SelectProduct(n, catalogue);
    }
    return model;
}

FunnelModel* makeFunnel(const TestAppFolder& app, int items) {
    return funnelOf(app, items == 5 ? QList<int>{0, 1, 2, 3, 4} : QList<int>{0});
}

PluginDetails details(const QString& identifier, const QString& name = "My Plugin") {
    PluginDetails d;
    d.identifier = identifier;
    d.name = name;
    d.uri = "https://www.example.com/plugin";
    d.description = "Sells things";
    d.version = "1.2";
    d.author = "Ann Author";
    d.authorUrl = "https://ann.example.com";
    d.license = "GPL-3.0-or-later";
    return d;
}

// What PHP's command line prints for `arguments`, its errors included.
QString runPhp(const QStringList& arguments) {
    QProcess php;
    php.setProcessChannelMode(QProcess::MergedChannels);
    php.start("php", arguments);
    if (!php.waitForFinished(30000))
        return "php did not run: install php-cli (scripts/install-deps)";
    return QString::fromUtf8(php.readAll());
}

QStringList files(const QString& folder) {
    QStringList result;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        result << it.next().mid(folder.size() + 1);
    result.sort();
    return result;
}

} // namespace

class tst_PluginBuild : public QObject {
    Q_OBJECT

private slots:
    void buildEndToEnd_data() {
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("one item") << 1 << "p4127";
        QTest::newRow("five items, longest identifier") << 5 << "pmaxlenidentifier_20";
    }
    void buildEndToEnd() {
        QFETCH(int, items);
        QFETCH(QString, identifier);
        TestAppFolder app;
        // A code file added anywhere in the skeleton gets the names with no change to the build.
        const QString added = "modules/added/deeper/new.js";
        app.write("plugintemplate/" + added, "var prefix = '#prefix#';\n");
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, items));
        KelvrinTools tools(11);
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        const QString archive = builder.Build(*funnel, details(identifier));

        QCOMPARE(archive, app.file("output/myplugin.zip"));
        QCOMPARE(files(app.file("output")), QStringList{"myplugin.zip"});
        const auto entries = ReadZip(archive);
        QVERIFY(!entries.isEmpty());
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            QVERIFY2(it.key().startsWith(identifier + "/"), qPrintable(it.key()));

        const QString folder = identifier + "/modules/template/";
        for (int n = 0; n < items; ++n) {
            const QString image = folder + QString("funnelitem-%1.%2").arg(n).arg(n == 3 ? "jpg" : "gif");
            QVERIFY2(entries.contains(image), qPrintable(image));
            for (const QString page : {"salespage-funnelitem-%1.php", "download-funnelitem-%1.php"}) {
                const QString name = folder + page.arg(n);
                QVERIFY2(entries.contains(name), qPrintable(name));
                QVERIFY(entries[name].content.contains(identifier.toUtf8()));
            }
        }
        for (const QString& file :
             {identifier + "/plugin.php", identifier + "/modules/cpt.php",
              identifier + "/modules/cpt_template_loader.php", identifier + "/modules/pages/layout.php",
              identifier + "/modules/stats/counting.php", identifier + "/modules/stats/screens.php",
              identifier + "/modules/payments/check.php", identifier + "/modules/payments/stripe.php",
              folder + "template.php", identifier + "/uninstall.php", identifier + "/readme.txt",
              identifier + "/assets/funnel-pages.css", identifier + "/languages/index.php"})
            QVERIFY2(entries.contains(file), qPrintable(file));
        QCOMPARE(entries[identifier + "/" + added].content, "var prefix = '" + identifier.toUtf8() + "';\n");
        for (const QString& name : entries.keys()) {
            if (name.endsWith(".gif") || name.endsWith(".jpg"))
                continue;
            for (const QString& token : kTokens)
                QVERIFY2(!entries[name].content.contains(token.toUtf8()), qPrintable(name + " " + token));
            // One line ending per file: line feeds, but in the file of the switch code, whose CR LF
            // the file's own lines take too.
            const QByteArray& text = entries[name].content;
            QVERIFY2(name == folder + "template.php"
                         ? text.count('\r') == text.count('\n') && text.count("\r\n") == text.count('\n')
                         : !text.contains('\r'),
                     qPrintable(name));
        }

        const QByteArray header = "<?php\n"
                                  "/**\n"
                                  " * Plugin Name:       My Plugin\n"
                                  " * Plugin URI:        https://www.example.com/plugin\n"
                                  " * Description:       Sells things\n"
                                  " * Version:           1.2\n"
                                  " * Requires at least: 6.1\n"
                                  " * Requires PHP:      7.4\n"
                                  " * Author:            Ann Author\n"
                                  " * Author URI:        https://ann.example.com\n"
                                  " * License:           GPL-3.0-or-later\n"
                                  " * License URI:       https://www.gnu.org/licenses/gpl-3.0.html\n"
                                  " * Text Domain:       " +
                                  identifier.toUtf8() +
                                  "\n"
                                  " * Domain Path:       /languages\n"
                                  " */\n";
        QVERIFY(entries[identifier + "/plugin.php"].content.startsWith(header));
        QVERIFY(entries[identifier + "/readme.txt"].content.startsWith("=== My Plugin ===\n"));
        QVERIFY(entries[identifier + "/plugin.php"].content.contains("load_plugin_textdomain( '" +
                                                                     identifier.toUtf8() + "'"));
        QCOMPARE(entries[folder + "template.php"].content.count("case \""), 2 * items);
        QVERIFY(messages.shown.isEmpty());
    }

    // Each shown item's starting copy, and no other, lies in the copy module beside its index.
    void salesCopiesOfExactlyTheShownItems_data() {
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("front end only") << QList<int>{0};
        QTest::newRow("upsell #1 and its downsell") << QList<int>{0, 1, 3};
        QTest::newRow("upsell #2's downsell") << QList<int>{0, 1, 2, 4};
        QTest::newRow("all five") << QList<int>{0, 1, 2, 3, 4};
    }
    void salesCopiesOfExactlyTheShownItems() {
        QFETCH(QList<int>, shown);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(funnelOf(app, shown));
        QCOMPARE(funnel->PresentSlots(), shown);
        KelvrinTools tools;
        RecordingMessages messages;
        const auto entries =
            ReadZip(PluginBuilder(app.path(), tools, messages).Build(*funnel, details("pcopy")));

        const QString folder = "pcopy/modules/copy/";
        QStringList expected{folder, folder + "index.php", folder + "copy.php", folder + "patterns.php",
                             folder + "render.php"};
        for (int n : shown)
            expected << folder + QString("start-%1.html").arg(n);
        expected.sort();
        QStringList inFolder;
        for (const QString& name : entries.keys())
            if (name.startsWith(folder))
                inFolder << name;
        QCOMPARE(inFolder, expected);

        // The product's headline, or a custom product's name.
        QVERIFY(entries[folder + "start-0.html"].content.startsWith(
            "<!-- wp:heading -->\n<h2>Build a traffic plan that keeps working after you stop "
            "pushing</h2>\n"));
        if (shown.contains(3))
            QCOMPARE(entries[folder + "start-3.html"].content,
                     "<!-- wp:heading -->\n<h2>Demo Product</h2>\n<!-- /wp:heading -->\n");
    }

    // Every text field holds the text; the addresses hold it after a query mark.
    void everyPhpFileParses_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and PHP") << "Bob's \"Best\" $Funnel {$x} ?> <b>";
        QTest::newRow("escaped quote") << "end\\' . touch('x') . '";
        QTest::newRow("trailing backslash") << "name\\";
        QTest::newRow("old heredoc end") << "  VELTRANO_MENU_NAME_7Q2X_END . touch('x'); if (0) #";
        QTest::newRow("old heredoc end alone") << "VELTRANO_MENU_NAME_7Q2X_END;";
        QTest::newRow("open and close tags") << "<?php echo 1; ?><?= 2 ?><% 3 %>";
        QTest::newRow("heredoc start") << "<<<EOT\nEOT;";
        QTest::newRow("comment starts") << "# // /* /** --";
        QTest::newRow("interpolation") << "${x} {$y->z} \\x41 \\u{41}";
    }
    void everyPhpFileParses() {
        QFETCH(QString, text);
        // WordPress cuts a header field at "?>", so no field may hold it; the rest of the row does.
        text.replace("?>", "? >");
        const QString line = QString(text).replace('\n', ' ');
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 5));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginDetails d = details("fancy_id9", line);
        d.description = text;
        d.version = d.author = d.license = line;
        d.uri = "https://www.example.com/?q=" + QUrl::toPercentEncoding(line);
        d.authorUrl = d.uri;
        // A text that can't name an archive stays in the other fields.
        if (!d.SafetyProblem().isEmpty())
            d.name = "Plain";
        QCOMPARE(d.SafetyProblem(), QString());
        if (RunsUnderWine())
            QSKIP("No php under Wine");
        const auto entries = ReadZip(PluginBuilder(app.path(), tools, messages).Build(*funnel, d));
        int checked = 0;
        QTemporaryDir scratch;
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            if (!it.key().endsWith(".php"))
                continue;
            const QString path = scratch.path() + "/" + QString::number(checked++) + ".php";
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(it.value().content);
            out.close();
            const QString lint = runPhp({"-l", path});
            QVERIFY2(lint.startsWith("No syntax errors"), qPrintable(it.key() + ": " + lint));
        }
        QVERIFY(checked >= 4 + 10);

        // The menu name's function, run alone, gives the name back unchanged and does nothing else.
        const QString plugin = QString::fromUtf8(entries["fancy_id9/plugin.php"].content);
        const QRegularExpression nameFunction("function veltrano_fancy_id9__plugin_name\\(\\) \\{.*?\\n\\}",
                                              QRegularExpression::DotMatchesEverythingOption);
        const QString function = nameFunction.match(plugin).captured();
        QVERIFY2(!function.isEmpty(), qPrintable(plugin));
        QCOMPARE(runPhp({"-r", "function __($t, $d) { return $t; } " + function +
                                   " echo veltrano_fancy_id9__plugin_name();"}),
                 d.name.trimmed());
    }

    // Earlier builds' funnels stay reachable: the post type and slug of an identifier never change.
    void namesOfAnIdentifier() {
        const PluginNames names = PluginNames::For("cc_register");
        QCOMPARE(names.functionPrefix, QString("veltrano_cc_register__"));
        QCOMPARE(names.postType, QString("funnel_edd9eea683c5"));
        QCOMPARE(names.copyType, QString("fcopy_edd9eea683c5"));
        QCOMPARE(names.slug, QString("cc-register"));
    }

    // The prefixes of "x" and "x_register" can't nest only while no name that follows a prefix
    // starts with "_" or holds "__".
    void skeletonNamesNeverNest() {
        const QRegularExpression name("#fn#([A-Za-z0-9_]*)");
        QStringList offending;
        int seen = 0;
        QDirIterator it(VELTRANO_DATA_DIR, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            for (const auto& match : name.globalMatch(QString::fromUtf8(file.readAll()))) {
                ++seen;
                const QString rest = match.captured(1);
                if (rest.isEmpty() || rest.startsWith('_') || rest.contains("__"))
                    offending << it.fileName() + ": #fn#" + rest;
            }
        }
        QVERIFY(seen > 100);
        QVERIFY2(offending.isEmpty(), qPrintable(offending.join(", ")));
    }

    void sameNameTwiceKeepsOnlyTheLastPlugin_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("new identifier") << "pnew";
        QTest::newRow("same identifier") << "pold";
    }
    void sameNameTwiceKeepsOnlyTheLastPlugin() {
        QFETCH(QString, second);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> five(makeFunnel(app, 5));
        std::unique_ptr<FunnelModel> one(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        builder.Build(*five, details("pold"));
        builder.Build(*one, details(second));
        const auto entries = ReadZip(app.file("output/myplugin.zip"));
        QVERIFY(entries.contains(second + "/plugin.php"));
        for (const QString& name : entries.keys()) {
            QVERIFY2(name.startsWith(second + "/"), qPrintable(name));
            QVERIFY2(!name.contains(QRegularExpression("funnelitem-[1-4]")), qPrintable(name));
        }
        QCOMPARE(files(app.file("output")), QStringList{"myplugin.zip"});
    }

    // The longest names the details allow make archives on every system.
    void namesAtTheLimitsBuild_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("longest") << QString(PluginDetails::kMaxNameLength, 'n');
        QTest::newRow("longest in three-byte characters")
            << QString(PluginDetails::kMaxNameLength, QChar(0x6F22));
        QTest::newRow("dot inside") << "Shop.Pro";
    }
    void namesAtTheLimitsBuild() {
        QFETCH(QString, name);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        QVERIFY(details("px", name).SafetyProblem().isEmpty());
        PluginBuilder(app.path(), tools, messages).Build(*funnel, details("px", name));
        QCOMPARE(files(app.file("output")), QStringList{ArchiveName(name) + ".zip"});
    }

    // A path past Windows' 260 characters is refused before anything is written, naming the
    // folder: the deepest file of the plugin folder, libzip's file beside the archive, and the
    // work area's deepest file, each at the last length that fits and the first that does not.
    void pathsPastWindowsLimitAreRefused_data() {
        QTest::addColumn<QString>("deep");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("plugin folder's page at 259") << "work area" << 205 << "My Plugin" << false << "px";
        QTest::newRow("plugin folder's page at 260") << "work area" << 206 << "My Plugin" << true << "px";
        const QString longest(PluginDetails::kMaxNameLength, 'n');
        QTest::newRow("longest archive at 259") << "output" << 176 << longest << false << "px";
        QTest::newRow("longest archive at 260") << "output" << 177 << longest << true << "px";
        QTest::newRow("plugin folder's page at 259, longest identifier")
            << "work area" << 187 << "My Plugin" << false << "pmaxlenidentifier_20";
        QTest::newRow("plugin folder's page at 260, longest identifier")
            << "work area" << 188 << "My Plugin" << true << "pmaxlenidentifier_20";
    }
    void pathsPastWindowsLimitAreRefused() {
        QFETCH(QString, deep);
        QFETCH(int, length);
        QFETCH(QString, name);
        QFETCH(bool, refused);
        QFETCH(QString, identifier);
        TestAppFolder app;
        const QString shallow = QDir::tempPath() + "/h";
        const auto folderOf = [](int size) { return "C:/" + QString(size - 3, 'd'); };
        const AppRoots roots = deep == "output"
            ? AppRoots::Installed(app.path(), shallow, shallow, folderOf(length - int(qstrlen("/Veltrano"))))
            : AppRoots::Installed(app.path(), shallow, folderOf(length - int(qstrlen("/veltrano/temp"))), shallow);
        const QString folder = deep == "output" ? roots.Output() : roots.WorkArea();
        QCOMPARE(folder.size(), length);
        KelvrinTools tools;
        RecordingMessages messages;
        const PluginBuilder builder(roots, tools, messages);
        const QString problem = builder.PathLengthProblem(details(identifier, name), PathRules::Windows());
        QCOMPARE(!problem.isEmpty(), refused);
        if (refused)
            QVERIFY2(problem.contains(QDir::toNativeSeparators(folder)), qPrintable(problem));
        QVERIFY(builder.PathLengthProblem(details(identifier, name), PathRules::Posix()).isEmpty());
        // The build itself asks, on Windows, before it writes a thing.
        if (refused && PathRules::Native().longestPath) {
            std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
            QCOMPARE(builder.Refusal(*funnel, details(identifier, name)), problem);
        }
    }

    // Windows refuses to replace a file another program holds open; the archive is then either
    // replaced whole or kept whole, never half-written, and the next build replaces it.
    void anArchiveHeldOpenIsReplacedWholeOrKept() {
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        builder.Build(*funnel, details("pold"));
        {
            QFile holder(app.file("output/myplugin.zip"));
            QVERIFY(holder.open(QIODevice::ReadOnly));
            try {
                builder.Build(*funnel, details("pnew"));
                QVERIFY(ReadZip(app.file("output/myplugin.zip")).contains("pnew/plugin.php"));
            } catch (const BuildError& error) {
                QVERIFY2(error.description().contains("another program"), qPrintable(error.description()));
                QVERIFY(ReadZip(app.file("output/myplugin.zip")).contains("pold/plugin.php"));
            }
            QCOMPARE(files(app.file("output")), QStringList{"myplugin.zip"});
        }
        builder.Build(*funnel, details("pnew"));
        QVERIFY(ReadZip(app.file("output/myplugin.zip")).contains("pnew/plugin.php"));
    }

    // The plugin folder is assembled in the work area: what has its name in the output folder is
    // the user's and stays as it is; what an earlier build left in the work area is removed. Neither
    // is packed.
    void whatStandsInThePluginFoldersPlaceIsNotPacked_data() {
        QTest::addColumn<QString>("earlier");
        QTest::newRow("the user's folder") << "folder";
        QTest::newRow("the user's link to a folder elsewhere") << "link";
        QTest::newRow("the user's file") << "file";
        QTest::newRow("a killed build's plugin folder in the work area") << "work area";
    }
    void whatStandsInThePluginFoldersPlaceIsNotPacked() {
        QFETCH(QString, earlier);
        TestAppFolder app;
        QTemporaryDir elsewhere;
        QFile precious(elsewhere.path() + "/precious.txt");
        QVERIFY(precious.open(QIODevice::WriteOnly));
        precious.close();
        if (earlier == "folder") {
            app.write("output/psame/notes-from-before.txt", "stale");
            app.write("output/psame/modules/template/salespage-funnelitem-4.php", "stale page");
        } else if (earlier == "link") {
            QVERIFY(QFile::link(elsewhere.path(), app.file("output/psame")));
        } else if (earlier == "file") {
            app.write("output/psame", "a file");
        } else {
            app.write("temp/plugin/psame/notes-from-before.txt", "stale");
            app.write("temp/plugin/psame/modules/template/salespage-funnelitem-4.php", "stale page");
        }
        const QStringList before = files(app.file("output"));
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder(app.path(), tools, messages).Build(*funnel, details("psame"));
        const auto entries = ReadZip(app.file("output/myplugin.zip"));
        QVERIFY(entries.contains("psame/plugin.php"));
        QVERIFY(!entries.contains("psame/notes-from-before.txt"));
        QVERIFY(!entries.contains("psame/modules/template/salespage-funnelitem-4.php"));
        QStringList after = files(app.file("output"));
        after.removeOne("myplugin.zip");
        QCOMPARE(after, before);
        QCOMPARE(app.read("output/psame/notes-from-before.txt"), earlier == "folder" ? "stale" : "");
        QCOMPARE(files(elsewhere.path()), QStringList{"precious.txt"});
        QVERIFY(!QFileInfo::exists(app.file("temp/plugin")));
    }

    void failureAfterAssemblyLeavesNoPluginFolder() {
        TestAppFolder app;
        app.write("output/myplugin.zip/mine.txt", "a folder of the user's in the archive's place");
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        QVERIFY_THROWS_EXCEPTION(BuildError,
                                 PluginBuilder(app.path(), tools, messages).Build(*funnel, details("px")));
        QCOMPARE(files(app.file("output")), (QStringList{"myplugin.zip", "myplugin.zip/mine.txt"}));
    }

    // The publish step gets the tokens the plugin was built with; when it fails, the earlier
    // archive stays and nothing of the build is left.
    void thePublishStepCanStopThePublishing_data() {
        QTest::addColumn<bool>("fails");
        QTest::newRow("publish step succeeds") << false;
        QTest::newRow("publish step fails") << true;
    }
    void thePublishStepCanStopThePublishing() {
        QFETCH(bool, fails);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 5));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        builder.Build(*funnel, details("pold"));
        const QByteArray before = app.read("output/myplugin.zip");

        FunnelTokens tokens, seen;
        const auto publish = [&](const FunnelTokens& used) {
            seen = used;
            if (fails)
                throw BuildError(BuildError::PathFileAccess, "the funnel file is read-only");
        };
        try {
            builder.Build(*funnel, details("pnew"), &tokens, publish);
            QVERIFY(!fails);
            QCOMPARE(seen, tokens);
            QVERIFY(ReadZip(app.file("output/myplugin.zip")).contains("pnew/plugin.php"));
        } catch (const BuildError& error) {
            QVERIFY(fails);
            QCOMPARE(error.description(), QString("the funnel file is read-only"));
            QCOMPARE(app.read("output/myplugin.zip"), before);
            QCOMPARE(tokens, FunnelTokens());
        }
        QVERIFY(!seen.sales[4].isEmpty());
        QCOMPARE(files(app.file("output")), QStringList{"myplugin.zip"});
    }

    void leftoverTemporaryArchivesAreRemoved() {
        TestAppFolder app;
        app.write("output/myplugin.zip.part", "left by a killed build");
        app.write("output/myplugin.zip.part.Xy12Zw", "left by a killed build");
        app.write("output/otherplugin.zip.part.Ab34Cd", "left by a killed build");
        app.write("output/otherplugin.zip", "kept");
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder(app.path(), tools, messages).Build(*funnel, details("px"));
        QCOMPARE(files(app.file("output")), (QStringList{"myplugin.zip", "otherplugin.zip"}));
    }

    void missingFoldersEndInAnErrorThatNamesThem_data() {
        QTest::addColumn<QString>("missing");
        QTest::newRow("output") << "output";
        QTest::newRow("templates") << "templates";
        QTest::newRow("plugintemplate") << "plugintemplate";
    }
    void missingFoldersEndInAnErrorThatNamesThem() {
        QFETCH(QString, missing);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        builder.Build(*funnel, details("pfirst"));
        const QByteArray before = app.read("output/myplugin.zip");
        QDir(app.file(missing)).removeRecursively();

        try {
            builder.Build(*funnel, details("psecond"));
            QFAIL("the build went on");
        } catch (const BuildError& error) {
            QVERIFY2(error.description().contains(missing), qPrintable(error.description()));
        }
        if (missing != "output") {
            QCOMPARE(app.read("output/myplugin.zip"), before);
            QCOMPARE(files(app.file("output")), QStringList{"myplugin.zip"});
        }
    }

    void refusedDetailsWriteNothing_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("name");
        QTest::newRow("identifier climbing out") << ".."
                                                 << "My Plugin";
        QTest::newRow("identifier with slash") << "a/b"
                                               << "My Plugin";
        QTest::newRow("identifier with blank") << "p 1"
                                               << "My Plugin";
        QTest::newRow("identifier of 21") << "p12345678901234567890"
                                          << "My Plugin";
        QTest::newRow("identifier with dash") << "my-plugin"
                                              << "My Plugin";
        QTest::newRow("empty name") << "p1"
                                    << "";
        QTest::newRow("blank name") << "p1"
                                    << "   ";
        QTest::newRow("name of signs") << "p1"
                                       << "&!?";
        QTest::newRow("name with control") << "p1"
                                           << "a\tb";
        QTest::newRow("name of dots") << "p1"
                                      << ". .";
        QTest::newRow("name ending a comment") << "p1"
                                               << "Best */ Plugin";
    }
    void refusedDetailsWriteNothing() {
        QFETCH(QString, identifier);
        QFETCH(QString, name);
        TestAppFolder app;
        std::unique_ptr<FunnelModel> funnel(makeFunnel(app, 1));
        KelvrinTools tools;
        RecordingMessages messages;
        QVERIFY_THROWS_EXCEPTION(
            BuildError, PluginBuilder(app.path(), tools, messages).Build(*funnel, details(identifier, name)));
        QVERIFY(files(app.file("output")).isEmpty());
        QVERIFY(files(app.file("temp")).isEmpty());
    }

    void detailsHelpers() {
        QCOMPARE(ArchiveName("My  Big Plugin"), QString("mybigplugin"));
        QCOMPARE(ArchiveName("   "), QString());
        KelvrinTools tools(5);
        for (int i = 0; i < 500; ++i) {
            const QString id = GenerateIdentifier(tools);
            QVERIFY(id.size() >= 3 && id.size() <= 7);
            QVERIFY(details(id).SafetyProblem().isEmpty());
        }
    }
};

QTEST_APPLESS_MAIN(tst_PluginBuild)
#include "tst_pluginbuild.moc"
