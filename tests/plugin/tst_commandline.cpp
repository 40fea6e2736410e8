#include "NormalUser.h"
#include "TestAppFolder.h"
#include "ZipReader.h"
#include "app/CommandLine.h"
#include "platform/PathRules.h"
#include "plugin/ArchiveFolder.h"
#include "plugin/FunnelFile.h"
#include "plugin/FunnelFileLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run run(const AppRoots& roots, const QStringList& arguments) {
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunCommandLine(arguments, roots, out, err);
    out.flush();
    err.flush();
    return result;
}

Run run(const TestAppFolder& app, const QStringList& arguments) {
    return run(AppRoots(app.path()), arguments);
}

// The roots of a portable copy in `app`, or of a program installed from it whose user's home
// is app/home, where the same user owns it.
AppRoots rootsOf(const TestAppFolder& app, bool installed) {
    if (!installed)
        return AppRoots(app.path());
    return AppRoots::Installed(app.path(), app.file("home/.local/share"), app.file("home/.cache"),
                               app.file("home/Documents"));
}

// Runs the command as the user that NormalUser picks; its stderr lands in app/err.txt.
int runAsUser(const TestAppFolder& app, const AppRoots& roots, const QStringList& arguments) {
    return NormalUser::Run([&] {
        const Run result = run(roots, arguments);
        QFile err(app.file("err.txt"));
        return err.open(QIODevice::WriteOnly) && err.write(result.err.toUtf8()) >= 0 ? result.code : 99;
    });
}

Run build(const TestAppFolder& app, const QByteArray& json) {
    app.write("funnel.json", json);
    return run(app, {"build", app.file("funnel.json")});
}

} // namespace

class tst_CommandLine : public QObject {
    Q_OBJECT

private slots:
    void versionAndHelp() {
        TestAppFolder app;
        const Run version = run(app, {"--version"});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QString("Veltrano Pro 2.6\n"));
        const Run help = run(app, {"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains("build FUNNEL.json"));
        const Run wrong = run(app, {"frobnicate"});
        QCOMPARE(wrong.code, 2);
        QVERIFY(wrong.err.contains("Usage"));
    }

    void buildsAFunnel() {
        TestAppFolder app;
        const Run result = build(
            app, "{"
                 "\"items\": ["
                 "{\"slot\": 0, \"product\": \"Traffic Magnet Pro\"},"
                 "{\"slot\": 1, \"product\": \"My Products: Demo Product\", \"download\": "
                 "\"https://override.example.com/x.zip\"},"
                 "{\"slot\": 3, \"product\": \"Webinar Wealth\"}"
                 "],"
                 "\"plugin\": {\"identifier\": \"pbatch1\", \"name\": \"Batch Plugin\", \"author\": \"Ann\"}"
                 "}");
        QCOMPARE(result.code, 0);
        QCOMPARE(result.out.trimmed(), app.file("output/batchplugin.zip"));
        const auto entries = ReadZip(app.file("output/batchplugin.zip"));
        QVERIFY(entries["pbatch1/plugin.php"].content.contains(" * Author:            Ann\n"));
        QVERIFY(entries["pbatch1/plugin.php"].content.contains(" * Version:           1.0\n"));
        const QByteArray downsellPage = entries["pbatch1/modules/template/download-funnelitem-3.php"].content;
        QVERIFY(downsellPage.contains("trafficmagnetpro.html"));
        QVERIFY(downsellPage.contains("webinarwealth.html"));
        QVERIFY(!downsellPage.contains("override.example.com"));
        QVERIFY(entries["pbatch1/modules/template/download-funnelitem-1.php"].content.contains(
            "<a href=\"https://override.example.com/x.zip\" target=\"_blank\" rel=\"noopener "
            "noreferrer\">Demo Product</a>"));
        QVERIFY(!entries.contains("pbatch1/modules/template/download-funnelitem-2.php"));
    }

    void identifierIsGeneratedWhenAbsent() {
        TestAppFolder app;
        const Run result = build(app, "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        QCOMPARE(result.code, 0);
        const auto entries = ReadZip(app.file("output/myplugin.zip"));
        QVERIFY(!entries.isEmpty());
        QVERIFY(entries.firstKey().startsWith('p'));
    }

    void refusalsWriteNothing_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("not json") << QByteArray("{items: [") << "not valid JSON";
        QTest::newRow("no items") << QByteArray("{}") << "\"items\"";
        QTest::newRow("no front end")
            << QByteArray("{\"items\": [{\"slot\": 1, \"product\": \"Webinar Wealth\"}]}")
            << "front end offer";
        QTest::newRow("orphan downsell")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}, {\"slot\": 4, "
                          "\"product\": \"Webinar Wealth\"}]}")
            << "needs slot 2";
        QTest::newRow("unknown product")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Nope\"}]}") << "unknown product";
        QTest::newRow("empty product")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"\"}]}") << "selected a product";
        QTest::newRow("slot out of range")
            << QByteArray("{\"items\": [{\"slot\": 7, \"product\": \"Webinar Wealth\"}]}") << "from 0 to 4";
        QTest::newRow("twice") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}, "
                                             "{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}")
                               << "twice";
        QTest::newRow("bad identifier") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar "
                                                      "Wealth\"}], \"plugin\": {\"identifier\": \"../x\"}}")
                                        << "unique identifier";
        QTest::newRow("empty name") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar "
                                                  "Wealth\"}], \"plugin\": {\"name\": \"\"}}")
                                    << "The unique identifier and the plugin name are required.";
        QTest::newRow("author url no web address")
            << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], \"plugin\": "
                          "{\"authorUrl\": \"Enter Your Url ...\"}}")
            << "\"Author Url\" must be a web address";
    }
    void refusalsWriteNothing() {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        TestAppFolder app;
        const Run result = build(app, json);
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QVERIFY(QDir(app.file("output")).isEmpty());
        QVERIFY(QDir(app.file("temp")).isEmpty());
    }

    void eachFileIsBuiltAndEachFailureReported() {
        TestAppFolder app;
        app.write("a.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], "
                            "\"plugin\": {\"identifier\": \"pfirst\", \"name\": \"First\"}}");
        app.write("broken.json",
                  "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\", \"download\": 5}]}");
        app.write("b.json", "{\"items\": [{\"slot\": 0, \"product\": \"SEO Rank Booster\"}], "
                            "\"plugin\": {\"identifier\": \"psecond\", \"name\": \"Second\"}}");
        const Run result = run(app, {"build", app.file("a.json"), app.file("broken.json"),
                                     app.file("missing.json"), app.file("b.json")});
        QCOMPARE(result.code, 1);
        QCOMPARE(result.out, app.file("output/first.zip") + "\n" + app.file("output/second.zip") + "\n");
        QVERIFY2(result.err.contains(app.file("broken.json") +
                                     ": Front End Offer (slot 0): \"download\" must be text, not a number."),
                 qPrintable(result.err));
        QVERIFY2(result.err.contains(app.file("missing.json") + " does not exist"), qPrintable(result.err));
        QVERIFY(ReadZip(app.file("output/first.zip")).contains("pfirst/plugin.php"));
        QVERIFY(ReadZip(app.file("output/second.zip")).contains("psecond/plugin.php"));

        const Run allGood = run(app, {"build", app.file("a.json"), app.file("b.json")});
        QCOMPARE(allGood.code, 0);
        QVERIFY(allGood.err.isEmpty());
    }

    void aSecondFunnelWithTheSameArchiveNameIsRefused() {
        TestAppFolder app;
        app.write("a.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], "
                            "\"plugin\": {\"identifier\": \"pfirst\", \"name\": \"Same Name\"}}");
        app.write("b.json", "{\"items\": [{\"slot\": 0, \"product\": \"SEO Rank Booster\"}], "
                            "\"plugin\": {\"identifier\": \"psecond\", \"name\": \"samename\"}}");
        const Run result = run(app, {"build", app.file("a.json"), app.file("b.json")});
        QCOMPARE(result.code, 1);
        QCOMPARE(result.out, app.file("output/samename.zip") + "\n");
        QVERIFY2(result.err.contains(app.file("b.json") + ": Not built") &&
                     result.err.contains(app.file("a.json")),
                 qPrintable(result.err));
        QVERIFY(ReadZip(app.file("output/samename.zip")).contains("pfirst/plugin.php"));
        // The same file twice is the same plugin: also refused, nothing lost.
        QCOMPARE(run(app, {"build", app.file("a.json"), app.file("a.json")}).code, 1);
    }

    void outputFolder_data() {
        QTest::addColumn<bool>("joined");
        QTest::newRow("--output DIR") << false;
        QTest::newRow("--output=DIR") << true;
    }
    void outputFolder() {
        QFETCH(bool, joined);
        TestAppFolder app;
        QTemporaryDir elsewhere;
        const QString folder = elsewhere.filePath("new/archives");
        app.write("f.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        QFile stale(folder + "/myplugin.zip");
        QDir().mkpath(folder);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("old") == 3);
        stale.close();
        const QStringList arguments = joined ? QStringList{"build", "--output=" + folder, app.file("f.json")}
                                             : QStringList{"build", app.file("f.json"), "--output", folder};
        const Run result = run(app, arguments);
        QCOMPARE(result.code, 0);
        QCOMPARE(result.out.trimmed(), folder + "/myplugin.zip");
        QVERIFY(ReadZip(folder + "/myplugin.zip").size() > 5);
        QVERIFY(!QFile::exists(app.file("output/myplugin.zip")));
        QVERIFY(QDir(app.file("output")).isEmpty());
    }

    // A folder of the user's that has the identifier's name, in the output folder, is never
    // touched: the plugin folder is assembled in the work area. Also when the archives go into
    // that very folder. Run as nobody: root may remove what the user could not.
    void aFolderNamedLikeTheIdentifierIsLeftAlone_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("intoIt");
        QTest::newRow("portable") << false << false;
        QTest::newRow("installed") << true << false;
        QTest::newRow("portable, --output into it") << false << true;
        QTest::newRow("installed, --output into it") << true << true;
    }
    void aFolderNamedLikeTheIdentifierIsLeftAlone() {
        QFETCH(bool, installed);
        QFETCH(bool, intoIt);
        TestAppFolder app;
        const AppRoots roots = rootsOf(app, installed);
        const QString mine = roots.Output() + "/client1";
        QDir().mkpath(mine + "/modules/template");
        for (const char* file :
             {"/keep.txt", "/plugin.php", "/modules/template/salespage-funnelitem-4.php"}) {
            QFile f(mine + file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("notes") == 5);
        }
        app.write("f.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], "
                            "\"plugin\": {\"identifier\": \"client1\"}}");
        NormalUser::Own(app.path());
        const auto before = FolderSnapshot(mine);
        QStringList arguments{"build", app.file("f.json")};
        if (intoIt)
            arguments << "--output" << mine;
        const int code = runAsUser(app, roots, arguments);
        QVERIFY2(code == 0, app.read("err.txt").constData());

        const QString archive = (intoIt ? mine : roots.Output()) + "/myplugin.zip";
        const auto entries = ReadZip(archive);
        QVERIFY(entries.contains("client1/plugin.php"));
        QVERIFY(!entries.contains("client1/keep.txt"));
        QVERIFY(!entries.contains("client1/modules/template/salespage-funnelitem-4.php"));
        auto after = FolderSnapshot(mine);
        if (intoIt)
            after.remove("/myplugin.zip");
        QCOMPARE(after, before);
        QCOMPARE(QDir(roots.Output()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 intoIt ? QStringList{"client1"} : QStringList({"client1", "myplugin.zip"}));
        // What the build made in the work area went with it.
        QVERIFY(!QFileInfo::exists(roots.WorkArea() + "/plugin"));
    }

    // An archive made for another folder never passes through the output folder, where an
    // archive of the same name may hold the only copy of another plugin.
    void anArchiveForAnotherFolderLeavesTheOutputFolderAlone_data() {
        QTest::addColumn<bool>("installed");
        QTest::newRow("portable") << false;
        QTest::newRow("installed") << true;
    }
    void anArchiveForAnotherFolderLeavesTheOutputFolderAlone() {
        QFETCH(bool, installed);
        TestAppFolder app;
        const AppRoots roots = rootsOf(app, installed);
        QTemporaryDir elsewhere;
        app.write("a.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}], "
                            "\"plugin\": {\"identifier\": \"pfirst\", \"name\": \"Same Name\"}}");
        app.write("b.json", "{\"items\": [{\"slot\": 0, \"product\": \"SEO Rank Booster\"}], "
                            "\"plugin\": {\"identifier\": \"psecond\", \"name\": \"Same Name\"}}");
        QCOMPARE(run(roots, {"build", app.file("a.json")}).code, 0);
        const QString first = roots.Output() + "/samename.zip";
        QFile archive(first);
        QVERIFY(archive.open(QIODevice::ReadOnly));
        const QByteArray before = archive.readAll();
        archive.close();

        const Run other = run(roots, {"build", app.file("b.json"), "--output", elsewhere.path()});
        QVERIFY2(other.code == 0, qPrintable(other.err));
        QVERIFY(ReadZip(elsewhere.filePath("samename.zip")).contains("psecond/plugin.php"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), before);
        QCOMPARE(QDir(roots.Output()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"samename.zip"});
    }

    // A folder that can't take the archive is found out before anything is written: the funnel
    // file keeps its content (no identifier drawn into it) and no archive is made anywhere.
    void aFolderThatCannotTakeTheArchiveIsRefusedFirst_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only folder") << "read-only"
                                          << "Permission denied";
        QTest::newRow("path too long for the system") << "deep"
                                                      << "File name too long";
    }
    void aFolderThatCannotTakeTheArchiveIsRefusedFirst() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        TestAppFolder app;
        QTemporaryDir elsewhere;
        QString folder = elsewhere.filePath("archives");
        if (kind == "deep") {
            // Just short of the system's longest path, so the folder can be made but the archive
            // in it can't.
            while (folder.size() < 4080)
                folder += "/" + QString(std::min<qsizetype>(200, 4080 - folder.size() - 1), 'd');
        }
        QVERIFY(QDir().mkpath(folder));
        app.write("f.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        const QByteArray json = app.read("f.json");
        NormalUser::Own(app.path());
        NormalUser::Own(elsewhere.path());
        if (kind == "read-only")
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const int code = runAsUser(app, app.path(), {"build", app.file("f.json"), "--output", folder});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString err = QString::fromUtf8(app.read("err.txt"));

        QCOMPARE(code, 1);
        QVERIFY2(err.contains("Not built. The archives cannot go to " + folder) && err.contains(message),
                 qPrintable(err));
        QCOMPARE(app.read("f.json"), json);
        QVERIFY(QDir(app.file("output")).isEmpty());
        QVERIFY(QDir(app.file("temp")).isEmpty());
        QVERIFY(QDir(folder).isEmpty());
    }

    // Windows' 260 characters hold for the archive's path whatever the system would take.
    void archivePathsPastWindowsLimitAreRefused_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("refused");
        // "/myplugin.zip.part" is 18 characters.
        QTest::newRow("at 259") << 241 << false;
        QTest::newRow("at 260") << 242 << true;
    }
    void archivePathsPastWindowsLimitAreRefused() {
        QFETCH(int, length);
        QFETCH(bool, refused);
        QTemporaryDir base;
        QString folder = base.path();
        while (folder.size() < length)
            folder += "/" + QString(std::min<qsizetype>(50, length - folder.size() - 1), 'd');
        QCOMPARE(folder.size(), length);
        QVERIFY(QDir().mkpath(folder));
        const QString problem = ArchiveFolder::Problem(folder, "myplugin.zip", PathRules::Windows());
        QVERIFY2(problem.isEmpty() != refused, qPrintable(problem));
        if (refused)
            QVERIFY(problem.contains("Windows takes at most 259"));
        QVERIFY(ArchiveFolder::Problem(folder, "myplugin.zip", PathRules::Posix()).isEmpty());
        QVERIFY(QDir(folder).isEmpty());
    }

    void wrongArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no file") << QStringList{"build"};
        QTest::newRow("only output") << QStringList{"build", "--output", "/tmp"};
        QTest::newRow("output without folder") << QStringList{"build", "f.json", "--output"};
        QTest::newRow("empty output") << QStringList{"build", "f.json", "--output="};
        QTest::newRow("output twice") << QStringList{"build", "f.json", "--output", "a", "--output", "b"};
    }
    void wrongArguments() {
        QFETCH(QStringList, arguments);
        TestAppFolder app;
        const Run result = run(app, arguments);
        QCOMPARE(result.code, 2);
        QVERIFY(result.err.contains("Usage"));
        QVERIFY(QDir(app.file("output")).isEmpty());
    }

    void whatOpensTheWindow_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<bool>("command");
        QTest::newRow("funnel file") << "funnel.json" << false;
        QTest::newRow("toolkit option") << "-platform" << false;
        QTest::newRow("build") << "build" << true;
        QTest::newRow("help") << "--help" << true;
        QTest::newRow("short help") << "-h" << true;
        QTest::newRow("version") << "--version" << true;
    }
    void whatOpensTheWindow() {
        QFETCH(QString, first);
        QFETCH(bool, command);
        QCOMPARE(IsCommand(first), command);
    }

    void aRebuildMakesTheSamePlugin() {
        TestAppFolder app;
        app.write("f.json",
                  "{\"comment\": \"mine\", \"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}, "
                  "{\"slot\": 1, \"product\": \"SEO Rank Booster\"}]}");
        QCOMPARE(run(app, {"build", app.file("f.json")}).code, 0);
        const auto first = ReadZip(app.file("output/myplugin.zip"));
        const QString identifier = first.firstKey().section('/', 0, 0);
        const QJsonObject saved = QJsonDocument::fromJson(app.read("f.json")).object();
        QCOMPARE(saved.value("plugin").toObject().value("identifier").toString(), identifier);
        QCOMPARE(saved.value("comment").toString(), QString("mine"));
        const QJsonObject upsell = saved.value("items").toArray()[1].toObject();
        const QString salesToken = upsell.value("tokens").toObject().value("sales").toString();
        QVERIFY(first[identifier + "/modules/template/template.php"].content.contains(salesToken.toUtf8()));
        const QByteArray savedOnce = app.read("f.json");

        QCOMPARE(run(app, {"build", app.file("f.json")}).code, 0);
        const auto second = ReadZip(app.file("output/myplugin.zip"));
        QCOMPARE(second.keys(), first.keys());
        for (auto it = first.cbegin(); it != first.cend(); ++it)
            QVERIFY2(second[it.key()].content == it->content, qPrintable(it.key()));
        // Nothing new to keep: the file is left as it was.
        QCOMPARE(app.read("f.json"), savedOnce);
    }

    // A funnel that needs a new identifier or new tokens is built only where the file can keep
    // them, and refused before anything is written; a complete one builds from a read-only place.
    // Run as nobody: root may write into a read-only folder.
    void aFileThatCannotBeWrittenBackIsNotBuilt_data() {
        QTest::addColumn<QString>("readOnly");
        QTest::addColumn<bool>("complete");
        QTest::newRow("read-only file, new funnel") << "file" << false;
        QTest::newRow("read-only folder, new funnel") << "folder" << false;
        QTest::newRow("read-only file, complete funnel") << "file" << true;
        QTest::newRow("read-only folder, complete funnel") << "folder" << true;
    }
    void aFileThatCannotBeWrittenBackIsNotBuilt() {
        QFETCH(QString, readOnly);
        QFETCH(bool, complete);
        TestAppFolder app;
        const QString funnel = app.file("ro/f.json");
        app.write("ro/f.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        if (complete) {
            QCOMPARE(run(app, {"build", funnel}).code, 0);
            QVERIFY(QFile::remove(app.file("output/myplugin.zip")));
        }
        const QByteArray before = app.read("ro/f.json");
        NormalUser::Own(app.path());
        const QString locked = readOnly == "file" ? funnel : app.file("ro");
        QVERIFY(QFile::setPermissions(locked, readOnly == "file" ? QFile::ReadOwner
                                                                 : QFile::ReadOwner | QFile::ExeOwner));
        const int code = NormalUser::Run([&] {
            const Run result = run(app, {"build", funnel});
            QFile err(app.file("err.txt"));
            return err.open(QIODevice::WriteOnly) && err.write(result.err.toUtf8()) >= 0 ? result.code : 99;
        });
        QFile::setPermissions(app.file("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString err = QString::fromUtf8(app.read("err.txt"));

        QCOMPARE(app.read("ro/f.json"), before);
        QVERIFY(!QFile::exists(funnel + ".lock"));
        if (complete) {
            QVERIFY2(code == 0, qPrintable(err));
            QVERIFY(ReadZip(app.file("output/myplugin.zip")).size() > 5);
            return;
        }
        QCOMPARE(code, 1);
        QVERIFY2(err.startsWith(funnel + ": Not built: its new plugin identifier and page tokens could not "
                                         "be kept in it") &&
                     err.contains(readOnly == "file" ? "the file is read-only" : "takes no new files"),
                 qPrintable(err));
        QVERIFY(QDir(app.file("output")).isEmpty());
        QVERIFY(QDir(app.file("temp")).isEmpty());
    }

    // Whatever a killed build left in the lock file beside the funnel file, the next build takes
    // it over at once; only a running build's lock refuses, naming its process. What stands in
    // the lock's place and can't be taken is named. Run as nobody, so that a lock of root's is
    // another user's.
    void aLockLeftBehindIsTakenOver_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ageSeconds");
        // Pieces of the message, or empty when the build must succeed.
        QTest::addColumn<QStringList>("refusal");
        const QByteArray host = QSysInfo::machineHostName().toUtf8();
        const QByteArray ids = QSysInfo::machineUniqueId() + "\n" + QSysInfo::bootUniqueId() + "\n";
        QTest::newRow("empty, just left") << "file" << QByteArray() << 0 << QStringList();
        QTest::newRow("empty, two minutes old") << "file" << QByteArray() << 120 << QStringList();
        QTest::newRow("half-written") << "file" << QByteArray("21474") << 0 << QStringList();
        QTest::newRow("another host's")
            << "file" << QByteArray("4242\nveltrano\nother-host\nx\ny\n") << 0 << QStringList();
        QTest::newRow("a dead process") << "file"
                                        << "2147483646\nveltrano\n" + host + "\n" + ids << 0 << QStringList();
        QTest::newRow("a live process of another program")
            << "file"
            << QByteArray::number(QCoreApplication::applicationPid()) + "\nveltrano\n" + host + "\n" + ids
            << 0 << QStringList();
        QTest::newRow("an earlier boot's")
            << "file"
            << "1\nveltrano\n" + host + "\n" + QSysInfo::machineUniqueId() + "\nearlier\n"
            << 0 << QStringList();
        QTest::newRow("a live Veltrano's")
            << "held" << QByteArray() << 0
            << QStringList{"is being built or saved by another Veltrano. Wait until that is finished",
                           QString("is held by process %1 (tst_commandline)")
                               .arg(QCoreApplication::applicationPid())};
        QTest::newRow("a folder in its place")
            << "folder" << QByteArray() << 0
            << QStringList{"a folder", "f.json.lock stands where its lock file goes"};
        if (NormalUser::IsRoot()) {
            QTest::newRow("another user's, left behind")
                << "others, readable" << QByteArray("4242\nveltrano\n") << 0 << QStringList();
            QTest::newRow("another user's, private")
                << "others, private" << QByteArray("4242\nveltrano\n") << 0
                << QStringList{"f.json.lock belongs to the user root", "ask root"};
        }
    }
    void aLockLeftBehindIsTakenOver() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(QStringList, refusal);
        TestAppFolder app;
        // Shared like /tmp: anyone may add files, only their owners remove them.
        app.write("shared/f.json", "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        NormalUser::Own(app.path());
        const QByteArray shared = QFile::encodeName(app.file("shared"));
        QVERIFY(::chmod(shared.constData(), 01777) == 0);
        if (NormalUser::IsRoot())
            QVERIFY(::chown(shared.constData(), 0, 0) == 0);
        const QString funnel = app.file("shared/f.json");
        const QString lockPath = funnel + ".lock";
        std::unique_ptr<FunnelFileLock> running;
        if (kind == "held") {
            running = std::make_unique<FunnelFileLock>(funnel);
            QVERIFY(running->isHeld());
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(lockPath));
        } else {
            app.write("shared/f.json.lock", content);
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                     QFileDevice::FileModificationTime));
            lock.close();
            if (kind == "file")
                NormalUser::Own(lockPath);
            else
                QVERIFY(QFile::setPermissions(lockPath,
                                              kind == "others, private"
                                                  ? QFile::ReadOwner | QFile::WriteOwner
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        }
        const QByteArray json = app.read("shared/f.json");

        QElapsedTimer timer;
        timer.start();
        const int code = runAsUser(app, app.path(), {"build", funnel});
        const QString err = QString::fromUtf8(app.read("err.txt"));
        // At once: nothing is waited for.
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        if (refusal.isEmpty()) {
            QVERIFY2(code == 0, qPrintable(err));
            // Gone with the build, but another user's in a shared folder, which only they may remove.
            QCOMPARE(QFileInfo::exists(lockPath), kind.startsWith("others"));
            QVERIFY(ReadZip(app.file("output/myplugin.zip")).size() > 5);
            return;
        }
        QCOMPARE(code, 1);
        for (const QString& piece : refusal)
            QVERIFY2(err.contains(piece), qPrintable(err));
        QVERIFY2(err.contains(funnel), qPrintable(err));
        QCOMPARE(app.read("shared/f.json"), json);
        QVERIFY(QDir(app.file("output")).isEmpty());
        QVERIFY(QFileInfo::exists(lockPath));
        running.reset();
        if (kind == "held")
            QVERIFY(!QFileInfo::exists(lockPath));
    }

    void onlySmallRegularFunnelFilesAreRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing"
                                 << "does not exist";
        QTest::newRow("folder") << "folder"
                                << "is not a funnel file";
        QTest::newRow("endless device") << "/dev/zero"
                                        << "is not a funnel file";
        QTest::newRow("pipe without a writer") << "fifo"
                                               << "is not a funnel file";
        QTest::newRow("one byte over the limit") << "over"
                                                 << "too large for a funnel file";
        QTest::newRow("exactly at the limit") << "limit"
                                              << "";
    }
    void onlySmallRegularFunnelFilesAreRead() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        TestAppFolder app;
        const QByteArray json = "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}";
        const qint64 limit = FunnelFile::MaximumSize;
        QString path = app.file("funnel.json");
        if (kind == "folder")
            QDir().mkpath(path);
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "over" || kind == "limit")
            app.write("funnel.json", json + QByteArray(limit - json.size() + (kind == "over"), ' '));
        else if (kind != "missing")
            path = kind;

        // Unblocks a reader that opened the pipe after all, so a fault fails here instead of hanging.
        std::atomic<bool> finished{false};
        std::thread writer([&] {
            while (kind == "fifo" && !finished) {
                const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                    return;
                }
                QThread::msleep(20);
            }
        });
        const Run result = run(app, {"build", path});
        finished = true;
        writer.join();

        if (message.isEmpty()) {
            QVERIFY2(result.code == 0, qPrintable(result.err));
            return;
        }
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.err.contains(path));
        QVERIFY(QDir(app.file("output")).isEmpty());
    }

    void buildErrorsUseTheWindowsText() {
        TestAppFolder app;
        QDir(app.file("plugintemplate")).removeRecursively();
        const Run result = build(app, "{\"items\": [{\"slot\": 0, \"product\": \"Webinar Wealth\"}]}");
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains("Error during plugin creation. Error Number:76 Description:"),
                 qPrintable(result.err));
        QVERIFY(result.err.contains("plugintemplate"));
    }
};

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
