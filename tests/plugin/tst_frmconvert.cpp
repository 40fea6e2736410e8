#include "Recorders.h"
#include "TestAppFolder.h"
#include "app/frmFunnels.h"
#include "plugin/frmConvert.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

class tst_frmConvert : public QObject {
    Q_OBJECT

private:
    struct Fixture {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window{app.path(), messages, shell};
        frmConvert* open() {
            window.model().SetProductText(0, "Traffic Magnet Pro");
            window.model().SelectProduct(0, window.catalogue());
            QTest::mouseClick(window.cmdCreate, Qt::LeftButton);
            return window.convertWindow();
        }
    };

private slots:
    void defaults() {
        Fixture f;
        frmConvert* form = f.open();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QString("Create Plugin"));
        QVERIFY(QRegularExpression("^p\\d{1,3}\\d{1,3}$").match(form->txtPluginID->text()).hasMatch());
        QCOMPARE(form->txtPlugin_Name->text(), QString("My Plugin"));
        QCOMPARE(form->txtPlugin_Uri->text(), QString());
        QCOMPARE(form->txtPlugin_Version->text(), QString("1.0"));
        QCOMPARE(form->txtPlugin_License->text(), QString("GPL-2.0-or-later"));
        // Hints show as placeholders: the fields themselves are empty and stay out of the header.
        QCOMPARE(form->txtPlugin_Description->toPlainText(), QString());
        QCOMPARE(form->txtPlugin_Description->placeholderText(), QString("Enter your description..."));
        QCOMPARE(form->txtPlugin_Author->text(), QString());
        QCOMPARE(form->txtPlugin_Author->placeholderText(), QString("Enter Your Name..."));
        QCOMPARE(form->txtPlugin_AuthorUrl->text(), QString());
        QCOMPARE(form->txtPlugin_AuthorUrl->placeholderText(), QString("Enter Your Url ..."));
        QVERIFY(form->Details().SafetyProblem().isEmpty());
        QCOMPARE(form->Command3->text(), QString("&Create Plugin"));
        QCOMPARE(form->Command1->text(), QString("Close &Window"));
    }

    void missingProductKeepsTheWindowClosed() {
        Fixture f;
        f.window.model().AddUpsell(0);
        f.open();
        QVERIFY(!f.window.convertWindow());
        QCOMPARE(f.messages.lastTitle(), QString("Missing Info"));
        QCOMPARE(f.messages.lastText(),
                 QString("Please verify that you've selected a product for each one of your funnel items."));
    }

    void reopeningKeepsOrStartsFresh() {
        Fixture f;
        frmConvert* form = f.open();
        form->txtPluginID->setText("typed");
        form->txtPlugin_Name->setText("Kept Name");
        QCOMPARE(f.open(), form);
        QCOMPARE(form->txtPluginID->text(), QString("typed"));
        QCOMPARE(form->txtPlugin_Name->text(), QString("Kept Name"));

        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTRY_VERIFY(!f.window.convertWindow());
        frmConvert* fresh = f.open();
        QVERIFY(fresh);
        QCOMPARE(fresh->txtPlugin_Name->text(), QString("My Plugin"));
        QVERIFY(fresh->txtPluginID->text() != "typed");
    }

    void generateNewReplacesATypedIdentifier() {
        Fixture f;
        frmConvert* form = f.open();
        form->txtPluginID->setText("mine");
        QTest::mouseClick(form->cmdGenerateIdentifier, Qt::LeftButton);
        QVERIFY(form->txtPluginID->text().startsWith('p'));
        QVERIFY(form->txtPluginID->text() != "mine");
    }

    void createPluginThroughToDone() {
        Fixture f;
        frmConvert* form = f.open();
        form->txtPluginID->setText("pwidget");
        form->txtPlugin_Name->setText("Widget Plugin");
        QPointer<frmConvert> watch(form);
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
        QCOMPARE(f.messages.lastText(),
                 QString("Done! Your plugin is ready. The software will now open the output window.\n\n"
                         "The plugin is widgetplugin.zip in the folder %1.\n\n"
                         "The funnel is saved beside it as widgetplugin.veltrano: open that file to build "
                         "this plugin again at the same page addresses.")
                     .arg(QDir::toNativeSeparators(f.app.path() + "/output")));
        // The file manager selects the archive.
        QCOMPARE(f.shell.shown, QStringList{f.app.path() + "/output/widgetplugin.zip"});
        QVERIFY(QFileInfo(f.app.file("output/widgetplugin.zip")).isFile());
        QVERIFY(!QFileInfo::exists(f.app.file("output/pwidget")));
        QTRY_VERIFY(!watch);
    }

    void buildErrorLeavesTheWindowReady() {
        Fixture f;
        frmConvert* form = f.open();
        form->txtPlugin_Name->setText("Kept Name");
        QDir(f.app.file("output")).removeRecursively();
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Error"));
        QVERIFY2(
            f.messages.lastText().startsWith("Error during plugin creation. Error Number:76 Description:"),
            qPrintable(f.messages.lastText()));
        QVERIFY(f.messages.lastText().contains("output"));
        QVERIFY(form->isVisible());
        QCOMPARE(form->Command3->text(), QString("&Create Plugin"));
        for (QWidget* control : std::initializer_list<QWidget*>{
                 form->Command3, form->Command1, form->cmdGenerateIdentifier, form->txtPluginID})
            QVERIFY(control->isEnabled());
        QCOMPARE(form->txtPlugin_Name->text(), QString("Kept Name"));
        QVERIFY(f.shell.opened.isEmpty() && f.shell.shown.isEmpty());
    }

    void refusals_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty identifier") << "txtPluginID"
                                          << ""
                                          << "The unique identifier and the plugin name are required.";
        QTest::newRow("empty name") << "txtPlugin_Name"
                                    << ""
                                    << "The unique identifier and the plugin name are required.";
        QTest::newRow("plugin uri without scheme") << "txtPlugin_Uri"
                                                   << "www.example.com"
                                                   << "\"Plugin URI\" must be a web address";
        QTest::newRow("identifier with a slash") << "txtPluginID"
                                                 << "p1/../x"
                                                 << "unique identifier";
        QTest::newRow("identifier with digits first") << "txtPluginID"
                                                      << "1abc"
                                                      << "unique identifier";
        QTest::newRow("identifier too long") << "txtPluginID"
                                             << "p123456789012345678901"
                                             << "unique identifier";
        QTest::newRow("blank name") << "txtPlugin_Name"
                                    << "   "
                                    << "archive";
        QTest::newRow("dot dot name") << "txtPlugin_Name"
                                      << ". ."
                                      << "archive";
        QTest::newRow("comment end") << "txtPlugin_Author"
                                     << "Bob */ evil"
                                     << "*/";
        QTest::newRow("identifier with a final newline") << "txtPluginID"
                                                         << "gui1\n"
                                                         << "unique identifier";
        QTest::newRow("reserved identifier") << "txtPluginID"
                                             << "search"
                                             << "WordPress uses";
        QTest::newRow("author with a header line") << "txtPlugin_Author"
                                                   << "Ann\nRequires PHP: 99.0"
                                                   << "single line";
    }

    // A name too long for an archive name cannot be typed in the first place.
    void nameLengthIsLimitedAtEntry() {
        Fixture f;
        frmConvert* form = f.open();
        auto* name = form->findChild<QLineEdit*>("txtPlugin_Name");
        name->clear();
        QTest::keyClicks(name, QString(250, 'n'));
        QCOMPARE(name->text().size(), PluginDetails::kMaxNameLength);
    }

    // A product that would be unsafe in the plugin is refused before anything is written.
    void unsafeProductIsRefused() {
        Fixture f;
        frmConvert* form = f.open();
        f.window.model().SetDownloadUrl(0, "javascript:alert(1)");
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Important"));
        QVERIFY2(f.messages.lastText().contains("\"Traffic Magnet Pro\" (Front End Offer)") &&
                     f.messages.lastText().contains("javascript:alert(1)"),
                 qPrintable(f.messages.lastText()));
        QVERIFY(form->isVisible() && form->Command3->isEnabled());
        QVERIFY(QDir(f.app.file("output")).isEmpty());
        QVERIFY(!QFileInfo::exists(f.app.file("temp/php")));
    }
    void refusals() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Fixture f;
        frmConvert* form = f.open();
        form->findChild<QLineEdit*>(field)->setText(value);
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Important"));
        QVERIFY2(f.messages.lastText().contains(message), qPrintable(f.messages.lastText()));
        QVERIFY(form->isVisible());
        QVERIFY(form->Command3->isEnabled());
        QVERIFY(QDir(f.app.file("output")).isEmpty());
        QVERIFY(!QFileInfo::exists(f.app.file("temp/php")));
        QVERIFY(f.shell.opened.isEmpty() && f.shell.shown.isEmpty());
    }
};

QTEST_MAIN(tst_frmConvert)
#include "tst_frmconvert.moc"
