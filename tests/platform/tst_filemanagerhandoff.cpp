#include "platform/FileManagerHandOff.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

Q_DECLARE_METATYPE(std::optional<QStringList>)

// Plays a desktop session: what it offers, and what was asked of it.
struct FakeSession {
    bool offered = false;
    bool callSucceeds = true;
    std::optional<QStringList> handler;
    QStringList log;

    FileManagerHandOff HandOff() {
        return FileManagerHandOff({[this] { return offered; },
                                   [this](const QString& method, const QStringList& uris) {
                                       log << method + QLatin1Char(' ') + uris.join(QLatin1Char(','));
                                       return callSucceeds;
                                   },
                                   [this] { return handler; },
                                   [this](const QString& folder) {
                                       log << QStringLiteral("open ") + folder;
                                       return true;
                                   }});
    }
};

class tst_FileManagerHandOff : public QObject {
    Q_OBJECT

private slots:
    void showsTheArchive_data() {
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("callSucceeds");
        QTest::addColumn<std::optional<QStringList>>("handler");
        QTest::addColumn<bool>("archiveExists");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("asked");
        // Asked: %1 the archive's URL, %2 its folder's URL, %3 the folder's path.
        const QStringList fileManager{"System", "FileManager"};
        QTest::newRow("service selects the archive") << true << true << std::optional(fileManager) << true << true
                                                     << "ShowItems %1";
        QTest::newRow("service fails: folder opened")
            << true << false << std::optional(fileManager) << true << true << "ShowItems %1|ShowFolders %2|open %3";
        QTest::newRow("no service: folder opened")
            << false << true << std::optional(fileManager) << true << true << "open %3";
        QTest::newRow("no service, handler unknown: nothing opened")
            << false << true << std::optional(QStringList()) << true << false << "";
        QTest::newRow("no service, handler neither browser nor file manager: nothing opened")
            << false << true << std::optional(QStringList{"Utility", "TextEditor"}) << true << false << "";
        QTest::newRow("no service, browser handles folders: nothing opened")
            << false << true << std::optional(QStringList{"Network", "WebBrowser"}) << true << false << "";
        QTest::newRow("no service, no handler: nothing opened")
            << false << true << std::optional<QStringList>() << true << false << "";
        QTest::newRow("archive gone: its folder shown")
            << true << true << std::optional(fileManager) << false << true << "ShowFolders %2";
    }
    void showsTheArchive() {
        QFETCH(bool, offered);
        QFETCH(bool, callSucceeds);
        QFETCH(std::optional<QStringList>, handler);
        QFETCH(bool, archiveExists);
        QFETCH(bool, shown);
        QFETCH(QString, asked);
        QTemporaryDir output;
        const QString archive = output.filePath(QStringLiteral("my plugin.zip"));
        if (archiveExists) {
            QFile file(archive);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        FakeSession session{offered, callSucceeds, handler, {}};
        QCOMPARE(session.HandOff().ShowFile(archive), shown);
        // The service takes file URLs; the folder handler a path.
        QCOMPARE(session.log.join(QLatin1Char('|')),
                 asked.replace(QStringLiteral("%1"), QUrl::fromLocalFile(archive).toString())
                     .replace(QStringLiteral("%2"), QUrl::fromLocalFile(output.path()).toString())
                     .replace(QStringLiteral("%3"), output.path()));
    }
};

QTEST_APPLESS_MAIN(tst_FileManagerHandOff)
#include "tst_filemanagerhandoff.moc"
