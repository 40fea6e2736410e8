#include "ZipReader.h"
#include "platform/BuildError.h"
#include "platform/ZipPacker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
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
        QDir().mkpath(plugin + "/empty");
        QFile::setPermissions(plugin + "/modules", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString archive = out.path() + "/myplugin.zip";
        ZipPacker::PackFolder(plugin, archive);
        const auto entries = ReadZip(archive);
        QCOMPARE(entries.keys(),
                 (QStringList{"p4127/", "p4127/empty/", "p4127/modules/", "p4127/modules/template/",
                              "p4127/modules/template/funnelitem-0.gif",
                              "p4127/modules/template/funnelitem-1.JPG", "p4127/plugin.php"}));
        QCOMPARE(entries["p4127/plugin.php"].content, php);
        QCOMPARE(entries["p4127/plugin.php"].compression, int(ZIP_CM_DEFLATE));
        QCOMPARE(entries["p4127/plugin.php"].mode, unsigned(S_IFREG | 0644));
        QCOMPARE(entries["p4127/modules/template/funnelitem-0.gif"].compression, int(ZIP_CM_STORE));
        QCOMPARE(entries["p4127/modules/template/funnelitem-1.JPG"].compression, int(ZIP_CM_STORE));
        QCOMPARE(entries["p4127/modules/"].mode, unsigned(S_IFDIR | 0755));
        QVERIFY(!QFileInfo::exists(archive + ".part"));
    }

    void extendsAnExistingArchive() {
        QTemporaryDir out;
        write(out.path() + "/p1/plugin.php", "first");
        write(out.path() + "/p2/plugin.php", "second");
        const QString archive = out.path() + "/same.zip";
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        ZipPacker::PackFolder(out.path() + "/p2", archive);
        const auto entries = ReadZip(archive);
        QCOMPARE(entries["p1/plugin.php"].content, QByteArray("first"));
        QCOMPARE(entries["p2/plugin.php"].content, QByteArray("second"));

        // The same folder again replaces its entries instead of doubling them.
        write(out.path() + "/p1/plugin.php", "first, rebuilt");
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        const auto again = ReadZip(archive);
        QCOMPARE(again.size(), entries.size());
        QCOMPARE(again["p1/plugin.php"].content, QByteArray("first, rebuilt"));
    }

    void failureLeavesTheEarlierArchive() {
        QTemporaryDir out;
        write(out.path() + "/p1/plugin.php", "first");
        const QString archive = out.path() + "/keep.zip";
        ZipPacker::PackFolder(out.path() + "/p1", archive);
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();

        QVERIFY_THROWS_EXCEPTION(BuildError, ZipPacker::PackFolder(out.path() + "/missing", archive));
        // A destination that cannot be written: the archive path is a folder's child of a file.
        QVERIFY_THROWS_EXCEPTION(BuildError,
                                 ZipPacker::PackFolder(out.path() + "/p1", archive + "/inner.zip"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QVERIFY(!QFileInfo::exists(archive + ".part"));
    }
};

QTEST_APPLESS_MAIN(tst_ZipPacker)
#include "tst_zippacker.moc"
