#include "platform/BuildError.h"
#include "platform/KelvrinFile.h"
#include "platform/KelvrinParser.h"
#include "platform/KelvrinTools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class tst_Kelvrin : public QObject {
    Q_OBJECT

private slots:
    void replaceText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every occurrence") << "#A# and #A#"
                                          << "#A#"
                                          << "x"
                                          << "x and x";
        QTest::newRow("case matters") << "#a# #A#"
                                      << "#A#"
                                      << "x"
                                      << "#a# x";
        QTest::newRow("longer token untouched") << "#FUNNELITEM_NOSPACES# #FUNNELITEM#"
                                                << "#FUNNELITEM#"
                                                << "T"
                                                << "#FUNNELITEM_NOSPACES# T";
        QTest::newRow("empty find") << "abc"
                                    << ""
                                    << "x"
                                    << "abc";
        QTest::newRow("remove") << "a\r\nb\r\n"
                                << "\r\n"
                                << ""
                                << "ab";
        QTest::newRow("replacement holding the token") << "#T#"
                                                       << "#T#"
                                                       << "#T##T#"
                                                       << "#T##T#";
    }
    void replaceText() {
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(KelvrinParser::ReplaceText(text, find, replacement, 0), expected);
    }

    void formatName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("lower") << "cool product"
                               << "Cool Product";
        QTest::newRow("mixed") << "sUPER  deal"
                               << "Super  Deal";
        QTest::newRow("digits") << "10x traffic"
                                << "10x Traffic";
    }
    void formatName() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const QString formatted = KelvrinTools::FormatName(name);
        QCOMPARE(formatted, expected);
        QCOMPARE(formatted.toLower(), name.toLower());
    }

    void textFilesRoundTripBytes() {
        QTemporaryDir dir;
        const QString path = dir.path() + "/t.txt";
        const QString text = QString::fromUtf8("line one\r\nzwei – drei\nno end");
        KelvrinFile::SaveTextFile(text, path);
        QString back;
        KelvrinFile::LoadTextFile(back, path);
        QCOMPARE(back, text);
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(raw.readAll(), text.toUtf8());
    }

    void missingFilesThrow() {
        QTemporaryDir dir;
        QString field = "unchanged";
        try {
            KelvrinFile::LoadTextFile(field, dir.path() + "/missing.txt");
            QFAIL("no error");
        } catch (const BuildError& error) {
            QCOMPARE(error.number(), int(BuildError::FileNotFound));
            QVERIFY(error.description().contains("missing.txt"));
        }
        QCOMPARE(field, QString("unchanged"));
        QVERIFY_THROWS_EXCEPTION(BuildError,
                                 KelvrinFile::SaveTextFile("x", dir.path() + "/no/such/folder.txt"));
    }

    void copyFolderRecursesAndReplaces() {
        QTemporaryDir src, dst;
        QDir().mkpath(src.path() + "/modules/template");
        KelvrinFile::SaveTextFile("new", src.path() + "/plugin.php");
        KelvrinFile::SaveTextFile("deep", src.path() + "/modules/template/template.php");
        KelvrinFile::SaveTextFile("old", dst.path() + "/plugin.php");
        KelvrinFile::CopyFolder(src.path(), dst.path());
        QString text;
        KelvrinFile::LoadTextFile(text, dst.path() + "/plugin.php");
        QCOMPARE(text, QString("new"));
        KelvrinFile::LoadTextFile(text, dst.path() + "/modules/template/template.php");
        QCOMPARE(text, QString("deep"));
        QVERIFY_THROWS_EXCEPTION(BuildError, KelvrinFile::CopyFolder(src.path() + "/none", dst.path()));
    }

    void listSubfoldersSortedWithoutDotFolders() {
        QTemporaryDir dir;
        for (const char* name : {"zeta", "alpha", ".hidden", "Mid"})
            QDir(dir.path()).mkdir(name);
        KelvrinFile::SaveTextFile("x", dir.path() + "/file.txt");
        QStringList list{"kept"};
        KelvrinFile::ListSubfolders(dir.path(), list);
        QCOMPARE(list, (QStringList{"kept", "Mid", "alpha", "zeta"}));
    }

    void randomNumbersStayInRangeAndReplay() {
        KelvrinTools a(42), b(42);
        int low = 1000, high = -1;
        for (int i = 0; i < 20000; ++i) {
            const int n = a.RandomNumber(999);
            QCOMPARE(b.RandomNumber(999), n);
            low = std::min(low, n);
            high = std::max(high, n);
        }
        QCOMPARE(low, 0);
        QCOMPARE(high, 999);
    }

    void pathExistsTellsFilesFromFolders() {
        QTemporaryDir dir;
        KelvrinFile::SaveTextFile("x", dir.path() + "/f");
        QVERIFY(KelvrinTools::PathExists(dir.path(), true));
        QVERIFY(!KelvrinTools::PathExists(dir.path(), false));
        QVERIFY(KelvrinTools::PathExists(dir.path() + "/f", false));
        QVERIFY(!KelvrinTools::PathExists(dir.path() + "/f", true));
    }
};

QTEST_APPLESS_MAIN(tst_Kelvrin)
#include "tst_kelvrin.moc"
