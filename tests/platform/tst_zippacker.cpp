#include "ZipReader.h"
#include "platform/BuildError.h"
#include "platform/ZipPacker.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

void write(const QString& path, const QByteArray& content, QFile::Permissions permissions = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    f.close();
    if (permissions)
        QFile::setPermissions(path, permissions);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_ZipPacker : public QObject {
    Q_OBJECT

private slots:
    void packsTheFolderAsTopEntry() {
        QTemporaryDir out;
        const QString plugin = out.path() + "/p4127";
        const QByteArray php = QByteArray("<?php echo 'hello';\r\n").repeated(50);
        write(plugin + "/plugin.php", php, QFile::ReadOwner | QFile::WriteOwner);
        write(plugin + "/modules/template/funnelitem-0.gif", "GIF89a-bytes");
        write(plugin + "/modules/template/funnelitem-1.JPG", "jpeg-bytes");
        write(plugin + "/modules/template/funnelitem-2.webp", "RIFF-webp-bytes");
        QDir().mkpath(plugin + "/empty");
        QFile::setPermissions(plugin + "/modules", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString archive = out.path() + "/myplugin.zip";
        ZipPacker::PackFolder(plugin, archive);
        const auto entries = ReadZip(archive);
        QCOMPARE(
            entries.keys(),
            (QStringList{"p4127/", "p4127/empty/", "p4127/modules/", "p4127/modules/template/",
                         "p4127/modules/template/funnelitem-0.gif", "p4127/modules/template/funnelitem-1.JPG",
                         "p4127/modules/template/funnelitem-2.webp", "p4127/plugin.php"}));
        QCOMPARE(entries["p4127/plugin.php"].content, php);
        QCOMPARE(entries["p4127/plugin.php"].compression, int(ZIP_CM_DEFLATE));
        QCOMPARE(entries["p4127/plugin.php"].mode, unsigned(S_IFREG | 0644));
        QCOMPARE(entries["p4127/modules/template/funnelitem-0.gif"].compression, int(ZIP_CM_STORE));
        QCOMPARE(entries["p4127/modules/template/funnelitem-1.JPG"].compression, int(ZIP_CM_STORE));
        QCOMPARE(entries["p4127/modules/template/funnelitem-2.webp"].compression, int(ZIP_CM_STORE));
        QCOMPARE(entries["p4127/modules/"].mode, unsigned(S_IFDIR | 0755));
        QVERIFY(!QFileInfo::exists(archive + ".part"));
    }

    void replacesAnExistingArchive() {
        QTemporaryDir out;
        write(out.path() + "/p1/plugin.php", "first");
        write(out.path() + "/p1/modules/template/salespage-funnelitem-1.php", "page of a removed item");
        write(out.path() + "/p2/plugin.php", "second");
        const QString archive = out.path() + "/same.zip";
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        ZipPacker::PackFolder(out.path() + "/p2", archive);
        QCOMPARE(ReadZip(archive).keys(), (QStringList{"p2/", "p2/plugin.php"}));

        // The same folder again, with a file fewer: nothing of the earlier archive stays.
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        QFile::remove(out.path() + "/p1/modules/template/salespage-funnelitem-1.php");
        write(out.path() + "/p1/plugin.php", "first, rebuilt");
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        const auto entries = ReadZip(archive);
        QCOMPARE(entries.keys(),
                 (QStringList{"p1/", "p1/modules/", "p1/modules/template/", "p1/plugin.php"}));
        QCOMPARE(entries["p1/plugin.php"].content, QByteArray("first, rebuilt"));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"same.zip"});
    }

    void linkAtTheArchivePathIsReplacedNotFollowed() {
        QTemporaryDir out;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.path() + "/precious.zip";
        write(victim, "not an archive of ours");
        write(out.path() + "/p1/plugin.php", "first");
        const QString archive = out.path() + "/myplugin.zip";
        QVERIFY(QFile::link(victim, archive));
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        QVERIFY(!QFileInfo(archive).isSymLink());
        QCOMPARE(ReadZip(archive).keys(), (QStringList{"p1/", "p1/plugin.php"}));
        QFile f(victim);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("not an archive of ours"));
    }

    void failureLeavesTheEarlierArchive_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("folder missing") << "missing";
        QTest::newRow("destination not writable") << "destination";
        QTest::newRow("unreadable file half-way") << "unreadable";
        QTest::newRow("write error half-way") << "write error";
        QTest::newRow("publish step fails") << "publish";
    }
    void failureLeavesTheEarlierArchive() {
        QFETCH(QString, failure);
        QTemporaryDir out;
        write(out.path() + "/p1/plugin.php", "first");
        const QString archive = out.path() + "/keep.zip";
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        const QByteArray before = readFile(archive);

        // A plugin folder whose packing fails after some entries are written: a large image is
        // stored first, then either an unreadable page or a file-size limit stops the writer.
        const QString plugin = out.path() + "/p1";
        QRandomGenerator random(7);
        QByteArray noise(400 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        write(plugin + "/modules/a-big-image.png", noise);
        write(plugin + "/zz-page.php", "<?php // last entry");

        QString folder = plugin;
        QString destination = archive;
        if (failure == "missing") {
            folder = out.path() + "/missing";
        } else if (failure == "destination") {
            destination = archive + "/inner.zip";
        } else if (failure == "unreadable") {
            if (::geteuid() == 0)
                QSKIP("root reads any file: run this test as an ordinary user");
            QFile::setPermissions(plugin + "/zz-page.php", QFileDevice::WriteOwner);
        }

        rlimit saved{};
        if (failure == "write error") {
            ::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 100 * 1024;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        // The publish step sees the new archive complete and the earlier one still in place.
        bool sawBothArchives = failure != "publish";
        const auto publish = [&] {
            sawBothArchives = readFile(archive) == before &&
                              ReadZip(archive + ".part").contains("p1/modules/a-big-image.png");
            throw BuildError(BuildError::PathFileAccess, "kept nowhere");
        };
        bool threw = false;
        try {
            if (failure == "publish")
                ZipPacker::PackFolder(folder, destination, publish);
            else
                ZipPacker::PackFolder(folder, destination);
        } catch (const BuildError&) {
            threw = true;
        }
        if (failure == "write error")
            ::setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(threw);
        QVERIFY(sawBothArchives);
        QCOMPARE(readFile(archive), before);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.zip"});
    }

    void folderInTheArchivesPlaceStaysAndNoPartFileIsLeft() {
        QTemporaryDir out;
        write(out.path() + "/p1/plugin.php", "first");
        write(out.path() + "/taken.zip/mine.txt", "the user's");
        QVERIFY_THROWS_EXCEPTION(BuildError,
                                 ZipPacker::PackFolder(out.path() + "/p1", out.path() + "/taken.zip"));
        QCOMPARE(readFile(out.path() + "/taken.zip/mine.txt"), QByteArray("the user's"));
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"p1", "taken.zip"}));
    }

    void temporaryNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("temporary");
        QTest::newRow("part file") << "myplugin.zip.part" << true;
        QTest::newRow("libzip's file") << "myplugin.zip.part.aB3xYz" << true;
        QTest::newRow("archive") << "myplugin.zip" << false;
        QTest::newRow("archive named like a part") << "part.zip" << false;
        QTest::newRow("other part") << "notes.part" << false;
        QTest::newRow("suffix too long") << "myplugin.zip.part.aB3xYz7" << false;
        QTest::newRow("suffix too short") << "myplugin.zip.part.aB3xY" << false;
        QTest::newRow("libzip's file on Windows") << "myplugin.zip.part.0a1b2c3d" << true;
        QTest::newRow("eight, not hexadecimal") << "myplugin.zip.part.0a1b2c3g" << false;
        QTest::newRow("nine hexadecimal") << "myplugin.zip.part.0a1b2c3d4" << false;
        QTest::newRow("no name") << ".zip.part" << false;
    }
    void temporaryNames() {
        QFETCH(QString, name);
        QFETCH(bool, temporary);
        QCOMPARE(ZipPacker::IsTemporaryName(name), temporary);
    }

    void leftoversAreRemoved() {
        QTemporaryDir out;
        QTemporaryDir elsewhere;
        write(elsewhere.path() + "/target.zip.part", "kept");
        write(out.path() + "/a.zip.part", "x");
        write(out.path() + "/a.zip.part.Q1w2E3", "x");
        write(out.path() + "/a.zip", "kept");
        write(out.path() + "/readme.part", "kept");
        QDir().mkpath(out.path() + "/folder.zip.part");
        QVERIFY(QFile::link(elsewhere.path() + "/target.zip.part", out.path() + "/b.zip.part"));
        ZipPacker::RemoveLeftovers(out.path());
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 (QStringList{"a.zip", "folder.zip.part", "readme.part"}));
        QCOMPARE(readFile(elsewhere.path() + "/target.zip.part"), QByteArray("kept"));
    }
};

QTEST_APPLESS_MAIN(tst_ZipPacker)
#include "tst_zippacker.moc"
