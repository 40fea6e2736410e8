// Builds that run at the same time in one application folder, or die part-way: two builds never
// mix their plugins, and a build killed at any instant never keeps the next one from succeeding.
#include "Recorders.h"
#include "TestAppFolder.h"
#include "TestPlatform.h"
#include "ZipReader.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/BuildError.h"
#include "platform/BuildLock.h"
#include "platform/KelvrinTools.h"
#include "platform/ZipPacker.h"
#include "plugin/FunnelFile.h"
#include "plugin/PluginBuilder.h"
#include "plugin/PluginDetails.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Two plugins of the same name that differ in everything else, so an archive shows whose it is.
struct Plugin {
    QString identifier;
    QString product;
    QString downloadPage; // the product's download address ends so
};
const Plugin kAlpha{"palpha", "Traffic Magnet Pro", "trafficmagnetpro.html"};
const Plugin kBeta{"pbeta", "Webinar Wealth", "webinarwealth.html"};
const QString kName = "Shared Name";

PluginDetails detailsOf(const Plugin& plugin) {
    PluginDetails details;
    details.identifier = plugin.identifier;
    details.name = kName;
    return details;
}

void fillFunnel(FunnelModel& funnel, const TestAppFolder& app, const Plugin& plugin) {
    ProductCatalogue catalogue(app.path());
    catalogue.FillProductLists();
    funnel.AddUpsell(0);
    funnel.SetProductText(0, plugin.product);
    funnel.SelectProduct(0, catalogue);
    funnel.SetProductText(1, "Copywriting Mastery");
    funnel.SelectProduct(1, catalogue);
}

QByteArray funnelJson(const Plugin& plugin) {
    return QStringLiteral(
               "{\"items\": [{\"slot\": 0, \"product\": \"%1\"}, {\"slot\": 1, \"product\": "
               "\"Copywriting Mastery\"}], \"plugin\": {\"identifier\": \"%2\", \"name\": \"%3\"}}")
        .arg(plugin.product, plugin.identifier, kName)
        .toUtf8();
}

// Empty text when `archive` holds exactly `plugin`: its folder alone, its own product's pages.
QString problemsOf(const QString& archive, const Plugin& plugin) {
    const auto entries = ReadZip(archive);
    if (entries.isEmpty())
        return "no readable archive at " + archive;
    for (const QString& name : entries.keys())
        if (!name.startsWith(plugin.identifier + "/"))
            return plugin.identifier + "'s archive holds " + name;
    const QString page = plugin.identifier + "/modules/template/download-funnelitem-0.php";
    if (!entries.value(page).content.contains(plugin.downloadPage.toUtf8()))
        return plugin.identifier + "'s archive has another funnel's download page";
    if (!entries.contains(plugin.identifier + "/modules/template/salespage-funnelitem-1.php"))
        return plugin.identifier + "'s archive lacks a page";
    return {};
}

// The plugin whose archive lies at `archive`, or null when there is none or it is damaged.
const Plugin* ownerOf(const QString& archive) {
    for (const Plugin* plugin : {&kAlpha, &kBeta})
        if (problemsOf(archive, *plugin).isEmpty())
            return plugin;
    return nullptr;
}

QStringList outputEntries(const TestAppFolder& app) {
    return QDir(app.file("output")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// An application folder with the program in it, for builds in processes of their own.
struct ProgramFolder {
    TestAppFolder app;
    QString program = app.file(QFileInfo(QStringLiteral(VELTRANO_EXECUTABLE)).fileName());
    ProgramFolder() {
        QFile::copy(QStringLiteral(VELTRANO_EXECUTABLE), program);
        app.write("alpha.json", funnelJson(kAlpha));
        app.write("beta.json", funnelJson(kBeta));
    }
    void start(QProcess& process, const Plugin& plugin) const {
        process.start(program, {"build", app.file(&plugin == &kAlpha ? "alpha.json" : "beta.json")});
    }
};

} // namespace

class tst_ConcurrentBuilds : public QObject {
    Q_OBJECT
public:
    tst_ConcurrentBuilds() {
#ifdef Q_OS_WIN
        // The Windows Qt built with MinGW frees a thread's regular-expression JIT stack at thread
        // exit in a way that crashes or hangs the process under Wine. The program builds on its
        // main thread only; this test's worker threads match without the JIT instead.
        qputenv("QT_ENABLE_REGEXP_JIT", "0");
#endif
    }

private slots:
    void twoThreadsAtOnceNeverMix() {
        TestAppFolder app;
        FunnelModel alpha;
        FunnelModel beta;
        fillFunnel(alpha, app, kAlpha);
        fillFunnel(beta, app, kBeta);
        const QString archive = app.file("output/sharedname.zip");
        int built = 0;
        for (int round = 0; round < 8; ++round) {
            std::atomic<int> ready{0};
            QString outcome[2];
            auto run = [&](int index, const FunnelModel& funnel, const Plugin& plugin) {
                KelvrinTools tools;
                RecordingMessages messages;
                PluginBuilder builder(app.path(), tools, messages);
                ++ready;
                while (ready < 2)
                    std::this_thread::yield();
                try {
                    builder.Build(funnel, detailsOf(plugin));
                    outcome[index] = "built";
                } catch (const BuildError& error) {
                    outcome[index] = QString::number(error.number()) + " " + error.description();
                }
            };
            std::thread first(run, 0, std::cref(alpha), std::cref(kAlpha));
            std::thread second(run, 1, std::cref(beta), std::cref(kBeta));
            first.join();
            second.join();

            const QString busy =
                QString::number(BuildError::FileAlreadyOpen) + " " + BuildLock::BusyMessage();
            for (const QString& result : outcome)
                QVERIFY2(result == "built" || result == busy, qPrintable(result));
            // The later of two that both finished owns the archive; with one refused, the other.
            QVERIFY2(ownerOf(archive), "the archive holds neither plugin whole");
            if (outcome[0] == "built" && outcome[1] != "built")
                QCOMPARE(problemsOf(archive, kAlpha), QString());
            if (outcome[1] == "built" && outcome[0] != "built")
                QCOMPARE(problemsOf(archive, kBeta), QString());
            QCOMPARE(outputEntries(app), QStringList{"sharedname.zip"});
            built += (outcome[0] == "built") + (outcome[1] == "built");
        }
        QVERIFY(built >= 8);
    }

    // One new funnel file built from two application folders at once: their own locks never
    // meet, so the funnel file's lock decides. Whatever the timing, every archive built is the
    // plugin the file records, with the pages' tokens it records.
    void oneFunnelFileFromTwoFoldersMakesOnePlugin() {
        ProgramFolder folders[2];
        QTemporaryDir shared;
        const QString funnel = shared.filePath("new.json");
        int refused = 0;
        for (int round = 0; round < 10; ++round) {
            QFile file(funnel);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(
                R"({"items": [{"slot": 0, "product": "Traffic Magnet Pro"}], "plugin": {"name": "Shared"}})");
            file.close();
            QProcess builds[2];
            for (int i = 0; i < 2; ++i)
                builds[i].start(folders[i].program, {"build", funnel});
            for (QProcess& build : builds)
                QVERIFY(build.waitForFinished(60000));

            QByteArray json;
            QCOMPARE(FunnelFile::ReadFile(funnel, json), QString());
            FunnelFileContent content;
            QCOMPARE(FunnelFile::Parse(json, PluginDetails(), content), QString());
            const QString identifier = content.details.identifier;
            QVERIFY(!identifier.isEmpty());
            int built = 0;
            for (int i = 0; i < 2; ++i) {
                const QString archive = folders[i].app.file("output/shared.zip");
                if (builds[i].exitCode() != 0) {
                    QVERIFY2(builds[i].readAllStandardError().contains("is being built or saved by another"),
                             "a build failed for another reason");
                    QVERIFY(!QFile::exists(archive));
                    ++refused;
                    continue;
                }
                const auto entries = ReadZip(archive);
                QVERIFY2(entries.contains(identifier + "/plugin.php"), qPrintable(entries.firstKey()));
                QVERIFY(entries.value(identifier + "/modules/template/template.php")
                            .content.contains(content.tokens.sales[0].toUtf8()));
                QVERIFY(QFile::remove(archive));
                ++built;
            }
            QVERIFY(built >= 1);
            QVERIFY(!QFile::exists(funnel + ".lock"));
        }
        qInfo("%d of 20 builds were refused while the other one ran", refused);
    }

    void aHeldLockRefusesTheBuildAndChangesNothing() {
        TestAppFolder app;
        FunnelModel funnel;
        fillFunnel(funnel, app, kAlpha);
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        builder.Build(funnel, detailsOf(kAlpha));
        app.write("output/sharedname.zip.part.Ab12Cd", "what a running build writes");
        app.write("output/palpha/plugin.php", "a running build's plugin folder");
        const BuildLock other(builder.LockPath());
        const auto before = FolderSnapshot(app.path());
        try {
            builder.Build(funnel, detailsOf(kAlpha));
            QFAIL("the build ran beside another one");
        } catch (const BuildError& error) {
            QCOMPARE(error.number(), int(BuildError::FileAlreadyOpen));
            QCOMPARE(error.description(), BuildLock::BusyMessage());
        }
        QCOMPARE(FolderSnapshot(app.path()), before);
        QVERIFY(
            BuildLock::BusyMessage().startsWith("Another plugin is being built in this application folder"));
    }

    void aLockEndsWithItsProcess() {
        TestAppFolder app;
        FunnelModel funnel;
        fillFunnel(funnel, app, kAlpha);
        KelvrinTools tools;
        RecordingMessages messages;
        PluginBuilder builder(app.path(), tools, messages);
        app.write("build.lock", "whatever a build that was killed left in it");

#ifdef Q_OS_WIN
        QSKIP("The lock's other holder here is a POSIX shell's flock");
#endif
        // Another process holds the lock, as a running build would, until it is killed.
        QProcess holder;
        // One process, so that killing it ends the lock's only holder.
        holder.start("bash",
                     {"-c", "exec 9>>\"$0\" && flock --exclusive 9 && exec sleep 60", builder.LockPath()});
        QVERIFY(holder.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                try {
                    BuildLock probe(builder.LockPath());
                    return false;
                } catch (const BuildError&) {
                    return true;
                }
            }(),
            10000);
        QVERIFY_THROWS_EXCEPTION(BuildError, builder.Build(funnel, detailsOf(kAlpha)));
        QVERIFY(!QFileInfo::exists(app.file("output/sharedname.zip")));

        holder.kill();
        QVERIFY(holder.waitForFinished());
        builder.Build(funnel, detailsOf(kAlpha));
        QCOMPARE(problemsOf(app.file("output/sharedname.zip"), kAlpha), QString());
    }

    void twoProgramsAtOnceNeverMix() {
        ProgramFolder folder;
        const QString archive = folder.app.file("output/sharedname.zip");
        for (int round = 0; round < 4; ++round) {
            QProcess first;
            QProcess second;
            folder.start(first, kAlpha);
            folder.start(second, kBeta);
            QVERIFY(first.waitForFinished(60000));
            QVERIFY(second.waitForFinished(60000));
            for (QProcess* process : {&first, &second}) {
                const QString err = QString::fromUtf8(process->readAllStandardError());
                QVERIFY2(process->exitCode() == 0 || err.contains(BuildLock::BusyMessage()), qPrintable(err));
            }
            QVERIFY2(first.exitCode() == 0 || second.exitCode() == 0, "both were refused");
            QVERIFY2(ownerOf(archive), "the archive holds neither plugin whole");
            if (first.exitCode() != 0)
                QCOMPARE(problemsOf(archive, kBeta), QString());
            if (second.exitCode() != 0)
                QCOMPARE(problemsOf(archive, kAlpha), QString());
            QCOMPARE(outputEntries(folder.app), QStringList{"sharedname.zip"});
        }
    }

    // Builds killed at moments spread over a whole build, each followed by a build of the same
    // plugin that must succeed and leave only its archive. The work area is there after every
    // kill, and the archive is always a whole one.
    void killedBuildsNeverJamTheNext() {
        ProgramFolder folder;
        const QString archive = folder.app.file("output/sharedname.zip");
        QElapsedTimer timer;
        timer.start();
        QProcess calibration;
        folder.start(calibration, kBeta);
        QVERIFY(calibration.waitForFinished(60000));
        QCOMPARE(calibration.exitCode(), 0);
        const qint64 buildNs = timer.nsecsElapsed();

        QRandomGenerator random(20261209);
        const int kills = qEnvironmentVariableIntValue("VELTRANO_KILLS") > 0
                              ? qEnvironmentVariableIntValue("VELTRANO_KILLS")
                              : 10;
        for (int kill = 0; kill < kills; ++kill) {
            QProcess victim;
            folder.start(victim, kAlpha);
            QVERIFY(victim.waitForStarted());
            QThread::usleep(random.bounded(buildNs / 1000));
            victim.kill();
            victim.waitForFinished();
            QVERIFY2(QFileInfo(folder.app.file("temp")).isDir(), "the work area went missing");
            QVERIFY2(ownerOf(archive), "the killed build damaged the archive");

            QProcess next;
            folder.start(next, kAlpha);
            QVERIFY(next.waitForFinished(60000));
            QVERIFY2(next.exitCode() == 0, qPrintable(QString::fromUtf8(next.readAllStandardError())));
            QCOMPARE(problemsOf(archive, kAlpha), QString());
            QCOMPARE(outputEntries(folder.app), QStringList{"sharedname.zip"});
        }
    }

    // Builds killed one after another at random instants, as a crash or a forced quit would end
    // them: each may die while it takes over the lock the one before left, or while it assembles
    // the plugin. The build after each run of kills succeeds, leaves only archives in the output
    // folder and no lock beside either funnel file.
    void killedBuildsInARowLeaveNothingLocked() {
        ProgramFolder folder;
        QElapsedTimer calibration;
        calibration.start();
        QProcess whole;
        folder.start(whole, kBeta);
        QVERIFY(whole.waitForFinished(60000));
        QCOMPARE(whole.exitCode(), 0);
        const qint64 buildUs = calibration.nsecsElapsed() / 1000;

        // Wine starts a process in about a second: one short row there, the whole run here.
        const int wanted = qEnvironmentVariableIntValue("VELTRANO_KILLS") > 0
                               ? qEnvironmentVariableIntValue("VELTRANO_KILLS")
                           : RunsUnderWine() ? 10
                                             : 200;
        const qint64 boundMs = RunsUnderWine() ? 100000 : 40000;
        QRandomGenerator random(20261210);
        QElapsedTimer timer;
        timer.start();
        int kills = 0;
        int rounds = 0;
        while (kills < wanted) {
            QVERIFY2(timer.elapsed() < boundMs,
                     qPrintable(QString("only %1 kills in %2 s").arg(kills).arg(boundMs / 1000)));
            ++rounds;
            for (int inRow = 0; inRow < std::min(20, wanted); ++inRow) {
                QProcess victim;
                folder.start(victim, random.bounded(2) ? kAlpha : kBeta);
                QVERIFY(victim.waitForStarted());
                QThread::usleep(random.bounded(quint64(buildUs)));
                victim.kill();
                victim.waitForFinished();
                ++kills;
            }
            // A killed build leaves nothing there that could pass for the user's: at most a
            // temporary archive, which the next build removes.
            for (const QFileInfo& entry :
                 QDir(folder.app.file("output"))
                     .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                QVERIFY2(entry.isFile() && (entry.fileName() == "sharedname.zip" ||
                                            ZipPacker::IsTemporaryName(entry.fileName())),
                         qPrintable("a killed build left " + entry.fileName()));
            for (const Plugin* plugin : {&kAlpha, &kBeta}) {
                QProcess next;
                folder.start(next, *plugin);
                QVERIFY(next.waitForFinished(60000));
                QVERIFY2(next.exitCode() == 0,
                         qPrintable(QString("after %1 kills: ").arg(kills) + next.readAllStandardError()));
                QCOMPARE(problemsOf(folder.app.file("output/sharedname.zip"), *plugin), QString());
                QCOMPARE(outputEntries(folder.app), QStringList{"sharedname.zip"});
            }
            for (const char* funnel : {"alpha.json.lock", "beta.json.lock"})
                QVERIFY2(!QFileInfo::exists(folder.app.file(funnel)), funnel);
        }
        qInfo("%d builds killed in %d rounds in %lld ms", kills, rounds, timer.elapsed());
    }
};

QTEST_APPLESS_MAIN(tst_ConcurrentBuilds)
#include "tst_concurrentbuilds.moc"
