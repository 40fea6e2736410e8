#include "Recorders.h"
#include "TestAppFolder.h"
#include "ZipReader.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/AppRoots.h"
#include "platform/KelvrinTools.h"
#include "platform/KillFldr.h"
#include "plugin/PluginBuilder.h"
#include "plugin/PluginDetails.h"

#include <QDir>
#include <QDirIterator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

QStringList files(const QString& folder) {
    QStringList result;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        result << it.next().mid(folder.size() + 1);
    result.sort();
    return result;
}

} // namespace

class tst_AppRoots : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;

    AppRoots installed(const TestAppFolder& shipped) const {
        return AppRoots::Installed(shipped.path(), m_home.path() + "/data", m_home.path() + "/cache",
                                   m_home.path() + "/Documents");
    }

private slots:
    void init() {
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.path());
        qputenv("HOME", m_home.path().toUtf8());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            qunsetenv(name);
    }

    void singleFolderHoldsEverything() {
        const AppRoots roots(QStringLiteral("/opt/app"));
        QVERIFY(roots.IsSingleFolder());
        QCOMPARE(roots.Shipped(), QString("/opt/app"));
        QCOMPARE(roots.MyProducts(), QString("/opt/app/myproducts"));
        QCOMPARE(roots.WorkArea(), QString("/opt/app/temp"));
        QCOMPARE(roots.Output(), QString("/opt/app/output"));
        QCOMPARE(roots.WritableRoots(), QStringList{"/opt/app"});
        QCOMPARE(roots.SettingsFile(), QString("/opt/app/veltrano.ini"));
    }

    void executableFolderDecidesTheLayout_data() {
        QTest::addColumn<QStringList>("besideExecutable");
        QTest::addColumn<bool>("single");
        QTest::addColumn<QString>("shipped");
        QTest::addColumn<QString>("problem");
        const QStringList parts{"productspro", "templates", "plugintemplate"};
        QTest::newRow("portable") << parts + QStringList{"portable.txt"} << true << "bin"
                                  << "";
        QTest::newRow("portable without templates")
            << QStringList{"productspro", "plugintemplate", "portable.txt"} << true << "bin"
            << "the folder templates is missing";
        QTest::newRow("installed with data beside") << parts << false << "bin"
                                                    << "";
        QTest::newRow("installed") << QStringList{} << false << "share"
                                   << "";
        QTest::newRow("installed, data beside incomplete")
            << QStringList{"productspro", "plugintemplate"} << false << "share"
            << "";
        QTest::newRow("installed, shared data incomplete")
            << QStringList{"share/productspro", "share/templates"} << false << "share"
            << "the folder plugintemplate is missing";
    }
    void executableFolderDecidesTheLayout() {
        QFETCH(QStringList, besideExecutable);
        QFETCH(bool, single);
        QFETCH(QString, shipped);
        QFETCH(QString, problem);
        const QString bin = m_home.path() + "/prefix/bin";
        const QString share = m_home.path() + "/prefix/share/veltrano";
        QDir().mkpath(bin);
        // The shared data is complete unless the row names the parts it has.
        if (!besideExecutable.contains("share/productspro"))
            for (const char* part : {"productspro", "templates", "plugintemplate"})
                QDir().mkpath(share + '/' + part);
        for (const QString& entry : besideExecutable) {
            if (entry.startsWith("share/"))
                QDir().mkpath(share + entry.mid(5));
            else if (entry.endsWith(".txt"))
                QFile(bin + '/' + entry).open(QIODevice::WriteOnly);
            else
                QDir().mkpath(bin + '/' + entry);
        }

        const AppRoots roots = AppRoots::ForExecutable(bin, share);
        QCOMPARE(roots.IsSingleFolder(), single);
        QCOMPARE(roots.Shipped(), shipped == "bin" ? bin : share);
        QVERIFY2(problem.isEmpty() ? roots.Problem().isEmpty() : roots.Problem().contains(problem),
                 qPrintable(roots.Problem()));
        if (!problem.isEmpty()) {
            // A layout that cannot work makes nothing anywhere.
            const auto before = FolderSnapshot(m_home.path());
            QCOMPARE(roots.PrepareUserFolders(), roots.Problem());
            QCOMPARE(FolderSnapshot(m_home.path()), before);
        }
        QCOMPARE(roots.SettingsFile().isEmpty(), !single);
        if (single)
            return;
#ifdef Q_OS_WIN
        // Windows asks the shell for the user's folders: HOME does not move them.
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#else
        const QString data = m_home.path() + "/.local/share";
        const QString cache = m_home.path() + "/.cache";
        const QString documents = m_home.path() + "/Documents";
#endif
        QCOMPARE(roots.MyProducts(), data + "/veltrano/myproducts");
        QCOMPARE(roots.WorkArea(), cache + "/veltrano/temp");
        QCOMPARE(roots.Output(), documents + "/Veltrano");
        QCOMPARE(roots.WritableRoots(),
                 QStringList({data + "/veltrano", cache + "/veltrano", documents + "/Veltrano"}));
    }

    // A portable copy's settings file is written only when it is a file of its own: a link's
    // target elsewhere is never replaced by the settings.
    void settingsFileIsTheCopysOwn_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("kept");
        QTest::newRow("none yet") << "none" << true;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a link to a file elsewhere") << "link" << false;
        QTest::newRow("a link to nothing") << "dangling" << false;
        QTest::newRow("a folder") << "folder" << false;
    }
    void settingsFileIsTheCopysOwn() {
        QFETCH(QString, kind);
        QFETCH(bool, kept);
        TestAppFolder app;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath("precious.txt");
        QFile precious(target);
        QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("mine\n") == 5);
        precious.close();
        const QString ini = app.file("veltrano.ini");
#ifdef Q_OS_WIN
        if (kind == "link" || kind == "dangling")
            QSKIP("Windows' shortcuts are files of their own, which the settings replace, not their targets");
#endif
        if (kind == "file")
            app.write("veltrano.ini", "[General]\nold=1\n");
        else if (kind == "link")
            QVERIFY(QFile::link(target, ini));
        else if (kind == "dangling")
            QVERIFY(QFile::link(elsewhere.filePath("missing.ini"), ini));
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(ini));

        const AppRoots roots(app.path());
        {
            const std::unique_ptr<QSettings> settings = roots.OpenSettings();
            QCOMPARE(bool(settings), kept);
            if (settings) {
                settings->setValue("recent", "a.json");
                settings->sync();
                QCOMPARE(settings->status(), QSettings::NoError);
            }
        }
        QCOMPARE(app.read("veltrano.ini").contains("recent=a.json"), kept);
        QCOMPARE(QFileInfo(ini).isSymLink(), kind == "link" || kind == "dangling");
        QFile after(target);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), QByteArray("mine\n"));
        QVERIFY(!QFileInfo::exists(elsewhere.filePath("missing.ini")));
    }

    void homeIsARealFolder_data() {
        QTest::addColumn<bool>("set");
        QTest::newRow("HOME unset") << false;
        QTest::newRow("HOME names a missing folder") << true;
    }
    void homeIsARealFolder() {
        QFETCH(bool, set);
        const QString missing = m_home.path() + "/gone";
        if (set)
            qputenv("HOME", missing.toUtf8());
        else
            qunsetenv("HOME");
        const AppRoots roots = AppRoots::ForExecutable(m_home.path(), m_home.path());
        // The user database's home, never the root or a folder made up from the variable.
        for (const QString& root : roots.WritableRoots())
            QVERIFY2(!root.startsWith(missing) && root.count('/') > 1, qPrintable(root));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void outputFolderIsNoneOfTheProgramsOwn_data() {
        QTest::addColumn<bool>("single");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("accepted");
        for (const char* own :
             {"app", "app/plugintemplate", "app/plugintemplate/modules/new", "app/temp", "app/templates",
              "app/productspro", "app/myproducts/kit", "app/link-to-skeleton"})
            QTest::newRow(own) << true << QString(own) << false;
        for (const char* elsewhere : {"app/output", "app/output/batch", "app-archives", "out", "link-to-out"})
            QTest::newRow(elsewhere) << true << QString(elsewhere) << true;
        QTest::newRow("installed: work area's folder") << false << "cache/veltrano" << false;
        QTest::newRow("installed: shipped data") << false << "app/templates" << false;
        QTest::newRow("installed: products") << false << "data/veltrano/myproducts" << false;
        QTest::newRow("installed: documents") << false << "Documents/Veltrano" << true;
        QTest::newRow("installed: beside the cache") << false << "cache/other" << true;
    }
    void outputFolderIsNoneOfTheProgramsOwn() {
        QFETCH(bool, single);
        QFETCH(QString, folder);
        QFETCH(bool, accepted);
        const QString app = m_home.path() + "/app";
        QDir().mkpath(app + "/plugintemplate");
        QDir().mkpath(m_home.path() + "/out");
        QFile::link(app + "/plugintemplate", app + "/link-to-skeleton");
        QFile::link(m_home.path() + "/out", m_home.path() + "/link-to-out");
        const AppRoots roots =
            single ? AppRoots(app)
                   : AppRoots::Installed(app, m_home.path() + "/data", m_home.path() + "/cache",
                                         m_home.path() + "/Documents");
        const QString problem = roots.OutputFolderProblem(m_home.path() + '/' + folder);
        QVERIFY2(problem.isEmpty() == accepted, qPrintable(problem));
    }

    void workAreaOnlyTheUserMayChange_data() {
        QTest::addColumn<bool>("othersWrite");
        QTest::addColumn<bool>("othersOwn");
        QTest::newRow("writable by all") << true << false;
        QTest::newRow("another user's") << false << true;
    }
    void workAreaOnlyTheUserMayChange() {
        QFETCH(bool, othersWrite);
        QFETCH(bool, othersOwn);
        TestAppFolder shipped;
        const AppRoots roots = installed(shipped);
        const QString workRoot = m_home.path() + "/cache/veltrano";
        QDir().mkpath(workRoot);
        if (othersWrite)
            QVERIFY(QFile::setPermissions(workRoot, QFileDevice::Permissions(0x7777)));
#ifdef Q_OS_WIN
        QSKIP("Windows folders have access lists, not an owner and mode bits to test this way");
#else
        if (othersOwn && ::chown(QFile::encodeName(workRoot).constData(), 65534, 65534) != 0)
            QSKIP("Only root can give a folder away");
#endif
        const QString problem = roots.PrepareUserFolders();
        QVERIFY2(problem.contains(workRoot), qPrintable(problem));
        QVERIFY(!QFileInfo::exists(roots.WorkArea() + "/php"));
        // A folder of its own is made private.
        QDir(workRoot).removeRecursively();
        QCOMPARE(roots.PrepareUserFolders(), QString());
        QCOMPARE(QFileInfo(workRoot).permissions() & 0x0077, QFileDevice::Permissions());
    }

    // Absolute homes are taken; relative ones are ignored, as the XDG rules say, and the
    // defaults below HOME used instead, whatever the working folder.
    void xdgHomesAreRespected_data() {
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("cacheHome");
        QTest::addColumn<QString>("products");
        QTest::addColumn<QString>("workArea");
        QTest::newRow("absolute") << "HOME/d"
                                  << "HOME/c"
                                  << "HOME/d/veltrano/myproducts"
                                  << "HOME/c/veltrano/temp";
        QTest::newRow("relative cache home") << "HOME/d"
                                             << "c"
                                             << "HOME/d/veltrano/myproducts"
                                             << "HOME/.cache/veltrano/temp";
        QTest::newRow("relative data home") << "./d"
                                            << "HOME/c"
                                            << "HOME/.local/share/veltrano/myproducts"
                                            << "HOME/c/veltrano/temp";
        QTest::newRow("both relative") << "../d"
                                       << "cache"
                                       << "HOME/.local/share/veltrano/myproducts"
                                       << "HOME/.cache/veltrano/temp";
    }
    void xdgHomesAreRespected() {
        QFETCH(QString, dataHome);
        QFETCH(QString, cacheHome);
        QFETCH(QString, products);
        QFETCH(QString, workArea);
#ifdef Q_OS_WIN
        QSKIP("Windows has no XDG homes");
#endif
        qputenv("XDG_DATA_HOME", dataHome.replace("HOME", m_home.path()).toUtf8());
        qputenv("XDG_CACHE_HOME", cacheHome.replace("HOME", m_home.path()).toUtf8());
        const QString startedIn = QDir::currentPath();
        QDir().mkpath(m_home.path() + "/elsewhere");
        QDir::setCurrent(m_home.path() + "/elsewhere");
        const AppRoots roots = AppRoots::ForExecutable(m_home.path(), "/usr/share/veltrano");
        QDir::setCurrent(startedIn);
        QCOMPARE(roots.MyProducts(), products.replace("HOME", m_home.path()));
        QCOMPARE(roots.WorkArea(), workArea.replace("HOME", m_home.path()));
    }

    void firstUseMakesTheUsersFolders() {
        TestAppFolder shipped;
        const AppRoots roots = installed(shipped);
        QCOMPARE(roots.PrepareUserFolders(), QString());
        QVERIFY(QFileInfo(roots.WorkArea()).isDir());
        QVERIFY(QFileInfo(roots.Output()).isDir());
        QCOMPARE(files(roots.MyProducts()),
                 QStringList({"demo-product/download.txt", "demo-product/salespage.jpg"}));
        for (const QString& file : files(roots.MyProducts()))
            QCOMPARE(shipped.read("myproducts/" + file), [&] {
                QFile f(roots.MyProducts() + '/' + file);
                return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            }());

        // The user's own choices stay: a removed demo product is not brought back.
        QDir(roots.MyProducts() + "/demo-product").removeRecursively();
        QDir().mkpath(roots.MyProducts() + "/cool-product");
        QCOMPARE(roots.PrepareUserFolders(), QString());
        QCOMPARE(QDir(roots.MyProducts()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"cool-product"});
    }

    void aFolderThatCannotBeMadeIsNamed() {
        TestAppFolder shipped;
        QFile blocker(m_home.path() + "/Documents");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const AppRoots roots = installed(shipped);
        const QString problem = roots.PrepareUserFolders();
        QVERIFY2(problem.contains(m_home.path() + "/Documents/Veltrano"), qPrintable(problem));
        QVERIFY(!problem.contains(roots.WorkArea()));
        // The others are made all the same.
        QVERIFY(QFileInfo(roots.WorkArea()).isDir());
        QVERIFY(QFileInfo(roots.MyProducts() + "/demo-product/download.txt").isFile());
    }

    void singleFolderIsLeftAsItIs() {
        TestAppFolder app;
        QDir(app.file("myproducts")).removeRecursively();
        const auto before = FolderSnapshot(app.path());
        QCOMPARE(AppRoots(app.path()).PrepareUserFolders(), QString());
        QCOMPARE(FolderSnapshot(app.path()), before);
    }

    void removalStaysBelowAWritableRoot_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("removed");
        QTest::newRow("work area") << "cache/veltrano/temp" << true;
        QTest::newRow("plugin folder") << "Documents/Veltrano/p1" << true;
        QTest::newRow("products") << "data/veltrano/myproducts" << true;
        QTest::newRow("a root itself") << "Documents/Veltrano" << false;
        QTest::newRow("beside a root") << "cache/veltrano-other/temp" << false;
        QTest::newRow("shipped data") << "shipped/templates" << false;
        QTest::newRow("above the roots") << "cache" << false;
    }
    void removalStaysBelowAWritableRoot() {
        QFETCH(QString, target);
        QFETCH(bool, removed);
        const AppRoots roots = AppRoots::Installed(m_home.path() + "/shipped", m_home.path() + "/data",
                                                   m_home.path() + "/cache", m_home.path() + "/Documents");
        const QString path = m_home.path() + '/' + target;
        QDir().mkpath(path + "/inner");
        QFile file(path + "/inner/file.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(KillFolder(path, roots.WritableRoots()), removed);
        QCOMPARE(QFileInfo::exists(path + "/inner/file.txt"), !removed);
    }

    void installedBuildWritesOnlyTheUsersFolders() {
        TestAppFolder shipped;
        QDir(shipped.file("temp")).removeRecursively();
        QDir(shipped.file("output")).removeRecursively();
        const auto shippedBefore = FolderSnapshot(shipped.path());
        const AppRoots roots = installed(shipped);
        QCOMPARE(roots.PrepareUserFolders(), QString());

        ProductCatalogue catalogue(roots);
        FunnelModel funnel;
        funnel.SetProductChoices(catalogue.FillProductLists());
        QVERIFY(funnel.ProductChoices().contains("My Products: Demo Product"));
        funnel.AddUpsell(0);
        funnel.SetProductText(0, "Webinar Wealth");
        funnel.SelectProduct(0, catalogue);
        funnel.SetProductText(1, "My Products: Demo Product");
        funnel.SelectProduct(1, catalogue);
        QVERIFY(funnel.Slot(1).txtSalesPageImage.startsWith(roots.MyProducts()));

        KelvrinTools tools(7);
        RecordingMessages messages;
        PluginBuilder builder(roots, tools, messages);
        PluginDetails details;
        details.identifier = "pinstalled";
        const QString archive = builder.Build(funnel, details);

        QCOMPARE(archive, m_home.path() + "/Documents/Veltrano/myplugin.zip");
        QCOMPARE(QDir(roots.Output()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"myplugin.zip"});
        const auto entries = ReadZip(archive);
        QVERIFY(entries.contains("pinstalled/modules/template/funnelitem-1.jpg"));
        QVERIFY(entries.contains("pinstalled/modules/template/salespage-funnelitem-1.php"));
        QVERIFY(files(roots.WorkArea()).contains("php/download-funnelitem-1.php"));
        QCOMPARE(FolderSnapshot(shipped.path()), shippedBefore);
        QCOMPARE(QDir(m_home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({"cache", "data", "Documents"}));
    }
};

QTEST_APPLESS_MAIN(tst_AppRoots)
#include "tst_approots.moc"
