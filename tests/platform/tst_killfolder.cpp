#include "platform/KillFldr.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_KillFolder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_app;
    QString make(const QString& relative, const QByteArray& content = "x") {
        const QString path = m_app.path() + '/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }

private slots:
    void init() {
        QDir(m_app.path()).removeRecursively();
        QDir().mkpath(m_app.path());
    }

    void removesTree_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plain") << "";
        QTest::newRow("trailing separator") << "/";
    }
    void removesTree() {
        QFETCH(QString, suffix);
        make("temp/a.txt");
        make("temp/.hiddenfile");
        make("temp/one/two/three/deep.txt");
        make("temp/one/b.txt");
        const QString readOnly = make("temp/one/two/locked.txt");
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner);

        QVERIFY(KillFolder(m_app.path() + "/temp" + suffix, m_app.path()));
        QVERIFY(!QFileInfo::exists(m_app.path() + "/temp"));
        QVERIFY(QFileInfo::exists(m_app.path()));
    }

    void dotFolderStaysAndFails() {
        make("temp/visible.txt");
        make("temp/.keep/inside.txt");
        QVERIFY(!KillFolder(m_app.path() + "/temp", m_app.path()));
        QVERIFY(QFileInfo::exists(m_app.path() + "/temp/.keep/inside.txt"));
        QVERIFY(!QFileInfo::exists(m_app.path() + "/temp/visible.txt"));
    }

    void symlinkRemovedNotFollowed() {
        QTemporaryDir outside;
        const QString precious = outside.path() + "/precious.txt";
        QFile f(precious);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        make("temp/sub/file.txt");
        QVERIFY(QFile::link(outside.path(), m_app.path() + "/temp/sub/link-to-folder"));
        QVERIFY(QFile::link(precious, m_app.path() + "/temp/link-to-file"));
        QVERIFY(QFile::link(outside.path() + "/missing", m_app.path() + "/temp/broken-link"));

        QVERIFY(KillFolder(m_app.path() + "/temp", m_app.path()));
        QVERIFY(!QFileInfo::exists(m_app.path() + "/temp"));
        QVERIFY(QFileInfo::exists(precious));
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files).size(), 1);
    }

    void refusesPathsOutsideTheApplicationFolder_data() {
        QTest::addColumn<QString>("relative");
        QTest::newRow("the folder itself") << "";
        QTest::newRow("dot") << "/.";
        QTest::newRow("climbs out") << "/temp/../..";
        QTest::newRow("sibling") << "/../elsewhere";
        QTest::newRow("inside a sibling whose name starts with the folder's") << "2/victim";
    }
    void refusesPathsOutsideTheApplicationFolder() {
        QFETCH(QString, relative);
        QTemporaryDir parent;
        const QString app = parent.path() + "/app";
        QDir().mkpath(app + "/temp");
        for (const char* marker : {"/elsewhere/marker", "/app2/victim/marker"}) {
            QDir().mkpath(QFileInfo(parent.path() + marker).path());
            QFile file(parent.path() + marker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        QVERIFY(!KillFolder(app + relative, app));
        QVERIFY(QFileInfo::exists(app + "/temp"));
        QVERIFY(QFileInfo::exists(parent.path() + "/elsewhere/marker"));
        QVERIFY(QFileInfo::exists(parent.path() + "/app2/victim/marker"));
    }

    // The guard's comparison under each system's rules, whatever system runs the test.
    void pathRules_data() {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("below");
        QTest::newRow("windows: other case, backslashes") << true << "c:\\APP\\temp"
                                                          << "C:/App" << true;
        QTest::newRow("windows: the folder itself, other spelling") << true << "C:\\app\\"
                                                                    << "c:/App" << true;
        QTest::newRow("windows: sibling starting with the name") << true << "C:\\App2\\x"
                                                                 << "C:/app" << false;
        QTest::newRow("windows: climbs out") << true << "C:\\App\\..\\Other"
                                             << "C:/App" << false;
        QTest::newRow("windows: other drive") << true << "D:/App/temp"
                                              << "C:/App" << false;
        QTest::newRow("windows: below a drive's root") << true << "c:\\x"
                                                       << "C:/" << true;
        QTest::newRow("posix: other case") << false << "/App/temp"
                                           << "/app" << false;
        QTest::newRow("posix: backslash is part of a name") << false << "/app\\temp"
                                                            << "/app" << false;
        QTest::newRow("posix: below") << false << "/app/./temp"
                                      << "/app/" << true;
    }
    void pathRules() {
        QFETCH(bool, windows);
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(bool, below);
        QCOMPARE((windows ? PathRules::Windows() : PathRules::Posix()).IsSameOrBelow(path, folder), below);
    }

    // On a system that folds case, a differently spelled application folder is still the one.
    void removesBelowAFolderSpelledDifferently() {
        if (PathRules::Native().caseSensitivity == Qt::CaseSensitive)
            QSKIP("the file system tells case");
        make("temp/a.txt");
        const QString spelling = QDir::toNativeSeparators(m_app.path().toUpper());
        QVERIFY(KillFolder(m_app.path() + "/temp", spelling));
        QVERIFY(!QFileInfo::exists(m_app.path() + "/temp"));
    }

    void refusesLinkedFolderThatLeadsOutside() {
        QTemporaryDir outside;
        QDir().mkpath(outside.path() + "/victim");
        QVERIFY(QFile::link(outside.path(), m_app.path() + "/escape"));
        QVERIFY(!KillFolder(m_app.path() + "/escape/victim", m_app.path()));
        QVERIFY(QFileInfo::exists(outside.path() + "/victim"));
    }

    void missingFolderIsFalse() { QVERIFY(!KillFolder(m_app.path() + "/nothing-here", m_app.path())); }

    void getFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("withExtension");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with extension") << "/shop/kit/salespage.gif" << true << "salespage.gif";
        QTest::newRow("without extension") << "/shop/kit/salespage.gif" << false << "salespage";
        QTest::newRow("first point counts") << "/shop/pic.big.gif" << false << "pic";
        QTest::newRow("trailing separator") << "/shop/kit/" << true << "";
        QTest::newRow("dot name") << "/shop/.profile" << false << "";
        QTest::newRow("point in folder only") << "/shop.v2/readme" << false << "readme";
        QTest::newRow("no separator") << "plain.txt" << true << "plain.txt";
        QTest::newRow("empty") << "" << false << "";
    }
    void getFileName() {
        QFETCH(QString, path);
        QFETCH(bool, withExtension);
        QFETCH(QString, expected);
        QCOMPARE(GetFileName(path, withExtension), expected);
    }

    void safeDirMasks() {
        make("temp/b.txt");
        make("temp/.a");
        QDir().mkpath(m_app.path() + "/temp/.hiddenfolder");
        QDir().mkpath(m_app.path() + "/temp/a-folder");
        const QString pattern = m_app.path() + "/temp/*.*";
        QCOMPARE(SafeDir(pattern, ListReadOnly | ListHidden | ListSystem), QString(".a"));
        QCOMPARE(SafeDir(pattern, ListDirectory), QString("a-folder"));
        QCOMPARE(SafeDir(m_app.path() + "/missing/*.*", ListDirectory), QString());
        QCOMPARE(SafeDir("no-separator", ListDirectory), QString());
    }
};

QTEST_APPLESS_MAIN(tst_KillFolder)
#include "tst_killfolder.moc"
