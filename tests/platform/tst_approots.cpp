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

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every file below `folder` with a digest of its content, to prove a tree unchanged.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> result;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        result[path.mid(folder.size())] =
            file.open(QIODevice::ReadOnly)
                ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1)
                : QByteArray("folder");
    }
    return result;
}

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
    }

    void executableFolderDecidesTheLayout_data() {
        QTest::addColumn<QStringList>("besideExecutable");
        QTest::addColumn<bool>("single");
        QTest::newRow("build folder") << QStringList{"productspro", "templates", "plugintemplate"} << true;
        QTest::newRow("bin folder") << QStringList{} << false;
        QTest::newRow("templates missing") << QStringList{"productspro", "plugintemplate"} << false;
    }
    void executableFolderDecidesTheLayout() {
        QFETCH(QStringList, besideExecutable);
        QFETCH(bool, single);
        const QString bin = m_home.path() + "/prefix/bin";
        QDir().mkpath(bin);
        for (const QString& folder : besideExecutable)
            QDir().mkpath(bin + '/' + folder);
        const QString share = m_home.path() + "/prefix/share/veltrano";

        const AppRoots roots = AppRoots::ForExecutable(bin, share);
        QCOMPARE(roots.IsSingleFolder(), single);
        if (single) {
            QCOMPARE(roots.Shipped(), bin);
            return;
        }
        QCOMPARE(roots.Shipped(), share);
        QCOMPARE(roots.MyProducts(), m_home.path() + "/.local/share/veltrano/myproducts");
        QCOMPARE(roots.WorkArea(), m_home.path() + "/.cache/veltrano/temp");
        QCOMPARE(roots.Output(), m_home.path() + "/Documents/Veltrano");
        QCOMPARE(roots.WritableRoots(),
                 QStringList({m_home.path() + "/.local/share/veltrano", m_home.path() + "/.cache/veltrano",
                              m_home.path() + "/Documents/Veltrano"}));
    }

    void xdgHomesAreRespected() {
        qputenv("XDG_DATA_HOME", (m_home.path() + "/d").toUtf8());
        qputenv("XDG_CACHE_HOME", (m_home.path() + "/c").toUtf8());
        const AppRoots roots = AppRoots::ForExecutable(m_home.path(), "/usr/share/veltrano");
        QCOMPARE(roots.MyProducts(), m_home.path() + "/d/veltrano/myproducts");
        QCOMPARE(roots.WorkArea(), m_home.path() + "/c/veltrano/temp");
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
        const auto before = snapshot(app.path());
        QCOMPARE(AppRoots(app.path()).PrepareUserFolders(), QString());
        QCOMPARE(snapshot(app.path()), before);
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
        const auto shippedBefore = snapshot(shipped.path());
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
        details.identifier = "pInstalled";
        const QString archive = builder.Build(funnel, details);

        QCOMPARE(archive, m_home.path() + "/Documents/Veltrano/myplugin.zip");
        QCOMPARE(QDir(roots.Output()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"myplugin.zip"});
        const auto entries = ReadZip(archive);
        QVERIFY(entries.contains("pInstalled/modules/template/funnelitem-1.jpg"));
        QVERIFY(entries.contains("pInstalled/modules/template/salespage-funnelitem-1.php"));
        QVERIFY(files(roots.WorkArea()).contains("php/download-funnelitem-1.php"));
        QCOMPARE(snapshot(shipped.path()), shippedBefore);
        QCOMPARE(QDir(m_home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList({"cache", "data", "Documents"}));
    }
};

QTEST_APPLESS_MAIN(tst_AppRoots)
#include "tst_approots.moc"
