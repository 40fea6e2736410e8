#include "TestAppFolder.h"
#include "ZipReader.h"
#include "app/CommandLine.h"

#include <QDir>
#include <QTest>
#include <QTextStream>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run run(const TestAppFolder& app, const QStringList& arguments) {
    Run result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunCommandLine(arguments, app.path(), out, err);
    out.flush();
    err.flush();
    return result;
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
                 "\"plugin\": {\"identifier\": \"pBatch1\", \"name\": \"Batch Plugin\", \"author\": \"Ann\"}"
                 "}");
        QCOMPARE(result.code, 0);
        QCOMPARE(result.out.trimmed(), app.file("output/batchplugin.zip"));
        const auto entries = ReadZip(app.file("output/batchplugin.zip"));
        QVERIFY(entries["pBatch1/plugin.php"].content.contains("Author: Ann\r\n"));
        QVERIFY(entries["pBatch1/plugin.php"].content.contains("Version: 1.0\r\n"));
        const QByteArray downsellPage = entries["pBatch1/modules/template/download-funnelitem-3.php"].content;
        QVERIFY(downsellPage.contains("trafficmagnetpro.html"));
        QVERIFY(downsellPage.contains("webinarwealth.html"));
        QVERIFY(!downsellPage.contains("override.example.com"));
        QVERIFY(entries["pBatch1/modules/template/download-funnelitem-1.php"].content.contains(
            "<a href=\"https://override.example.com/x.zip\" target=\"_blank\">Demo Product</a>"));
        QVERIFY(!entries.contains("pBatch1/modules/template/download-funnelitem-2.php"));
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
        QTest::newRow("empty licence") << QByteArray("{\"items\": [{\"slot\": 0, \"product\": \"Webinar "
                                                     "Wealth\"}], \"plugin\": {\"license\": \"\"}}")
                                       << "All the fields are required.";
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
