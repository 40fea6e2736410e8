#include "Recorders.h"
#include "TestAppFolder.h"
#include "ZipReader.h"
#include "app/frmCustomProduct.h"
#include "app/frmFunnels.h"
#include "funnel/FunnelItemPanel.h"
#include "plugin/frmConvert.h"

#include <QAction>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace {

const QString kBase = QStringLiteral("Veltrano Pro 2.6 ");

struct Fixture {
    TestAppFolder app;
    QTemporaryDir settingsDir;
    QSettings settings{settingsDir.filePath("settings.ini"), QSettings::IniFormat};
    RecordingMessages messages;
    RecordingShell shell;
    std::unique_ptr<frmFunnels> window = open();

    std::unique_ptr<frmFunnels> open() {
        return std::make_unique<frmFunnels>(app.path(), messages, shell, &settings);
    }
    void pick(int slot, const QString& product) {
        FunnelItemPanel* panel = window->panel(slot);
        panel->cboProduct->setCurrentIndex(panel->cboProduct->findText(product));
        emit panel->cboProduct->textActivated(product);
    }
    // All five items, a custom product and a typed download address.
    void fiveItems() {
        QTest::mouseClick(window->panel(0)->cmdAddUpsell, Qt::LeftButton);
        QTest::mouseClick(window->panel(1)->cmdAddUpsell, Qt::LeftButton);
        QTest::mouseClick(window->panel(1)->cmdAddDownsell, Qt::LeftButton);
        QTest::mouseClick(window->panel(2)->cmdAddDownsell, Qt::LeftButton);
        const QStringList products{"Traffic Magnet Pro", "Webinar Wealth", "Copywriting Mastery",
                                   "My Products: Demo Product", "Kindle Publishing Empire"};
        for (int n = 0; n < 5; ++n)
            pick(n, products[n]);
        window->panel(4)->txtProductDownloadUrl->setText("https://files.example.com/kindle.zip");
        emit window->panel(4)->txtProductDownloadUrl->textEdited("https://files.example.com/kindle.zip");
    }
    frmConvert* convert() {
        QTest::mouseClick(window->cmdCreate, Qt::LeftButton);
        return window->convertWindow();
    }
    // "Create Plugin" under this name (the name the window has when empty): true once "Done" showed.
    bool build(const QString& name = {}) {
        frmConvert* form = convert();
        if (!name.isEmpty())
            form->txtPlugin_Name->setText(name);
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        return messages.lastTitle() == QLatin1String("Done");
    }
    // Opens the product window by `open`, fills it in by `fill`, and closes it if still open.
    void productWindow(const std::function<void()>& open,
                       const std::function<void(frmCustomProduct&)>& fill) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* product = qobject_cast<frmCustomProduct*>(QApplication::activeModalWidget());
            if (!product)
                return;
            shown = true;
            fill(*product);
            if (product->isVisible())
                product->reject();
        });
        open();
        QVERIFY(shown);
    }
    // A product made by hand, with the demo product's image and the given address; listed once
    // the window is opened again, as a restart would.
    void handMade(const QString& folder, const QString& address) {
        app.write("myproducts/" + folder + "/salespage.jpg",
                  app.read("myproducts/demo-product/salespage.jpg"));
        app.write("myproducts/" + folder + "/download.txt", address.toUtf8());
        window = open();
    }
    bool listedEverywhere(const QString& product) const {
        for (int n = 0; n < FunnelModel::SlotCount; ++n)
            if (window->panel(n)->cboProduct->findText(product) < 0)
                return false;
        return true;
    }
};

QAction* action(QMenu* menu, const QString& text) {
    for (QAction* entry : menu->actions())
        if (entry->text() == text)
            return entry;
    return nullptr;
}

} // namespace

class tst_FunnelWindow : public QObject {
    Q_OBJECT

private slots:
    void fileMenu() {
        Fixture f;
        QStringList texts;
        for (QAction* entry : f.window->mnuFile->actions())
            if (!entry->isSeparator())
                texts << entry->text();
        QCOMPARE(texts, (QStringList{"&New", "&Open...", "Open &Recent", "&Save", "Save &As...", "&Quit"}));
        QCOMPARE(f.window->mnuNew->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(f.window->mnuOpen->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(f.window->mnuSave->shortcut(), QKeySequence(QKeySequence::Save));
        QCOMPARE(f.window->mnuSaveAs->shortcut(), QKeySequence(QKeySequence::SaveAs));
        QCOMPARE(f.window->mnuQuit->shortcut(), QKeySequence("Ctrl+Q"));
        QCOMPARE(f.window->mnuFile->actions().last(), f.window->mnuQuit);
        QVERIFY(!f.window->mnuRecent->isEnabled());
        // The funnel area keeps its size below the menu bar.
        QCOMPARE(f.window->panel(0)->geometry(), QRect(24, 72, 334, 241));
    }

    // Every build keeps its funnel beside the archive: an untitled funnel takes that file as its
    // own, so quitting without a word and opening it again rebuilds the same page addresses; a
    // funnel with a file of its own keeps it.
    void aBuildKeepsItsFunnelBesideTheArchive_data() {
        QTest::addColumn<bool>("titled");
        QTest::newRow("untitled") << false;
        QTest::newRow("saved before") << true;
    }
    void aBuildKeepsItsFunnelBesideTheArchive() {
        QFETCH(bool, titled);
        Fixture f;
        f.fiveItems();
        if (titled)
            QVERIFY(f.window->SaveFile(f.app.file("mine.json")));
        QVERIFY(f.build("Five Items"));
        QVERIFY2(f.messages.lastText().contains("saved beside it as fiveitems.veltrano"), qPrintable(f.messages.lastText()));
        const QString kept = QFileInfo(f.app.file("output/fiveitems.veltrano")).absoluteFilePath();
        QCOMPARE(f.window->document().filePath(), titled ? QFileInfo(f.app.file("mine.json")).absoluteFilePath() : kept);
        QCOMPARE(f.window->document().isModified(), titled);
        const PluginDetails details = f.window->document().details();
        const FunnelTokens tokens = f.window->document().tokens();
        f.window.reset();

        f.window = f.open();
        QVERIFY(f.window->OpenFile(kept));
        QVERIFY(f.build());
        QCOMPARE(f.window->document().details().identifier, details.identifier);
        QCOMPARE(f.window->document().tokens().sales, tokens.sales);
        QCOMPARE(f.window->document().tokens().download, tokens.download);
    }

    // A rebuild under a new name leaves the earlier archive, and says so; under the same name it
    // replaces it without a word.
    void aRebuildUnderANewNameKeepsTheOldArchive_data() {
        QTest::addColumn<QString>("rename");
        QTest::addColumn<QString>("archive");
        QTest::newRow("same name") << "Five Items" << "fiveitems.zip";
        QTest::newRow("new name with signs") << "Yoga & Fitness!" << "yoga-fitness.zip";
    }
    void aRebuildUnderANewNameKeepsTheOldArchive() {
        QFETCH(QString, rename);
        QFETCH(QString, archive);
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QVERIFY(f.build("Five Items"));
        QTRY_VERIFY(!f.window->convertWindow());
        QVERIFY(f.build(rename));
        QVERIFY(QFileInfo::exists(f.app.file("output/" + archive)) && QFileInfo::exists(f.app.file("output/fiveitems.zip")));
        QCOMPARE(f.messages.lastText().contains("fiveitems.zip, is still in that folder"), archive != "fiveitems.zip");
    }

    // Work starts on the front end's product list, which says what to do; typing a product's
    // name, blanks and all, picks it without opening the list.
    void typingAProductNamePicksIt_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("picked");
        QTest::newRow("two words") << "traffic magnet" << "Traffic Magnet Pro";
        QTest::newRow("one word") << "web" << "Webinar Wealth";
        QTest::newRow("a custom product") << "my products: d" << "My Products: Demo Product";
        QTest::newRow("no such product") << "zz" << "";
    }
    void typingAProductNamePicksIt() {
        QFETCH(QString, typed);
        QFETCH(QString, picked);
        Fixture f;
        QComboBox* list = f.window->panel(0)->cboProduct;
        QCOMPARE(f.window->focusWidget(), list);
        QCOMPARE(list->placeholderText(), QString("Choose a product\u2026"));
        QCOMPARE(list->currentIndex(), -1);
        f.window->show();
        QTest::keyClicks(list, typed);
        QCOMPARE(list->currentText(), picked);
        QCOMPARE(f.window->document().model().Slot(0).cboProduct, picked);
        QVERIFY(!list->view()->isVisible());
    }

    void bareAddressesGetTheirScheme_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("host and file") << "files.example.com/kindle.zip" << "https://files.example.com/kindle.zip";
        QTest::newRow("host alone") << "example.com" << "https://example.com";
        QTest::newRow("with its scheme") << "http://example.com/a.zip" << "http://example.com/a.zip";
        QTest::newRow("another scheme") << "ftp://example.com/a.zip" << "ftp://example.com/a.zip";
        QTest::newRow("a mail address") << "mailto:me@example.com" << "mailto:me@example.com";
        QTest::newRow("no dot") << "kindle" << "kindle";
        QTest::newRow("a blank inside") << "files example.com" << "files example.com";
    }
    // An address typed without https:// gets it when the field is left, and the panel says so;
    // out of editing, the field shows the address's end.
    void bareAddressesGetTheirScheme() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(WithWebScheme(typed), kept);
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QLineEdit* field = f.window->panel(0)->txtProductDownloadUrl;
        f.window->show();
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        emit field->editingFinished();
        f.window->panel(0)->cboProduct->setFocus();
        QCOMPARE(f.window->document().model().Slot(0).txtProductDownloadUrl, kept);
        QCOMPARE(f.window->panel(0)->lblProblem->text().contains("https:// was added"), kept != typed);
        QCOMPARE(field->cursorPosition(), int(kept.size()));
    }

    void aSavedFunnelOpensAsItWasSaved() {
        Fixture f;
        f.fiveItems();
        frmConvert* form = f.convert();
        form->txtPlugin_Name->setText("Five Items");
        form->txtPlugin_Author->setText("Ann");
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
        QVERIFY(f.window->SaveFile(f.app.file("five.json")));
        QCOMPARE(f.window->windowTitle(), "five.json - " + kBase);
        const PluginDetails saved = f.window->document().details();
        const FunnelTokens tokens = f.window->document().tokens();
        for (int n = 0; n < 5; ++n)
            QVERIFY(IsWellFormedToken(tokens.sales[size_t(n)], "sp") &&
                    IsWellFormedToken(tokens.download[size_t(n)], "dld"));
        f.window.reset();

        // The next run: opened from the recent files.
        f.window = f.open();
        QCOMPARE(f.window->windowTitle(), kBase);
        QVERIFY(f.window->mnuRecent->isEnabled());
        QAction* recent = f.window->mnuRecent->actions().first();
        QCOMPARE(recent->data().toString(), f.app.file("five.json"));
        recent->trigger();
        QTRY_COMPARE(f.window->windowTitle(), "five.json - " + kBase);
        const QStringList products{"Traffic Magnet Pro", "Webinar Wealth", "Copywriting Mastery",
                                   "My Products: Demo Product", "Kindle Publishing Empire"};
        for (int n = 0; n < 5; ++n) {
            QVERIFY(!f.window->panel(n)->isHidden());
            QCOMPARE(f.window->panel(n)->cboProduct->currentText(), products[n]);
        }
        QCOMPARE(f.window->panel(4)->txtProductDownloadUrl->text(),
                 QString("https://files.example.com/kindle.zip"));

        frmConvert* again = f.convert();
        QCOMPARE(again->Details().identifier, saved.identifier);
        QCOMPARE(again->txtPlugin_Name->text(), QString("Five Items"));
        QCOMPARE(again->txtPlugin_Author->text(), QString("Ann"));
        QCOMPARE(again->txtPlugin_Version->text(), saved.version);
        QTest::mouseClick(again->cmdGenerateIdentifier, Qt::LeftButton);
        QVERIFY(again->txtPluginID->text() != saved.identifier);
    }

    void aBuildKeepsItsIdentifierAndTokens() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        frmConvert* form = f.convert();
        const QString identifier = form->txtPluginID->text();
        QVERIFY(QRegularExpression("^p\\d+$").match(identifier).hasMatch());
        form->txtPlugin_Author->setText("Remembered Author");
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QTRY_VERIFY(!f.window->convertWindow());
        QCOMPARE(f.window->document().details().identifier, identifier);
        const FunnelTokens tokens = f.window->document().tokens();
        QVERIFY(IsWellFormedToken(tokens.sales[0], "sp"));
        // Kept beside the archive, which the untitled funnel now is.
        QVERIFY(!f.window->document().isModified());

        // The rebuild makes the same plugin with the same page addresses.
        frmConvert* again = f.convert();
        QCOMPARE(again->txtPluginID->text(), identifier);
        QTest::mouseClick(again->Command3, Qt::LeftButton);
        QTRY_VERIFY(!f.window->convertWindow());
        QCOMPARE(f.window->document().tokens(), tokens);
        const auto entries = ReadZip(f.app.file("output/myplugin.zip"));
        QVERIFY(entries.contains(identifier + "/plugin.php"));
        QVERIFY(entries[identifier + "/modules/template/template.php"].content.contains(
            tokens.sales[0].toUtf8()));

        // A new funnel draws a new identifier and starts with the remembered author.
        f.messages.answers = {Messages::SaveAnswer::Discard};
        f.window->mnuNew->trigger();
        QCOMPARE(f.window->model().Slot(0).cboProduct, QString());
        f.pick(0, "Webinar Wealth");
        frmConvert* fresh = f.convert();
        QVERIFY(fresh);
        QVERIFY(fresh->txtPluginID->text() != identifier);
        QCOMPARE(fresh->txtPlugin_Author->text(), QString("Remembered Author"));
    }

    void unsavedChangesPrompt_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("saved");
        for (const QString& command : {"new", "open", "drop", "close"}) {
            QTest::addRow("%s, cancel", qPrintable(command))
                << command << int(Messages::SaveAnswer::Cancel) << false << false;
            QTest::addRow("%s, discard", qPrintable(command))
                << command << int(Messages::SaveAnswer::Discard) << true << false;
            QTest::addRow("%s, save", qPrintable(command))
                << command << int(Messages::SaveAnswer::Save) << true << true;
        }
    }
    void unsavedChangesPrompt() {
        QFETCH(QString, command);
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        QFETCH(bool, saved);
        Fixture f;
        f.window->show();
        f.app.write("other.json", "{\"items\": [{\"slot\": 0, \"product\": \"Niche Site Builder\"}]}");
        f.pick(0, "Webinar Wealth");
        QVERIFY(f.window->SaveFile(f.app.file("mine.json")));
        const QByteArray before = f.app.read("mine.json");
        f.pick(0, "SEO Rank Booster");
        QCOMPARE(f.window->windowTitle(), "*mine.json - " + kBase);

        f.messages.answers = {Messages::SaveAnswer(answer)};
        if (command == "new") {
            f.window->mnuNew->trigger();
        } else if (command == "open") {
            f.window->OpenFile(f.app.file("other.json"));
        } else if (command == "drop") {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(f.app.file("other.json"))});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.window.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.window.get(), &drop);
            QTRY_COMPARE(f.messages.asked.size(), 1);
        } else {
            f.window->close();
        }
        QCOMPARE(f.messages.asked.size(), 1);
        QCOMPARE(f.messages.asked[0].text, QString("Do you want to save the changes to mine.json?"));

        QCOMPARE(f.app.read("mine.json") != before, saved);
        if (saved)
            QVERIFY(f.app.read("mine.json").contains("SEO Rank Booster"));
        if (command == "close") {
            QCOMPARE(f.window->isVisible(), !replaced);
            return;
        }
        const QString expected = !replaced          ? "SEO Rank Booster"
                                 : command == "new" ? ""
                                                    : "Niche Site Builder";
        QCOMPARE(f.window->model().Slot(0).cboProduct, expected);
        QCOMPARE(f.window->document().isModified(), !replaced);
    }

    void noPromptWithoutChanges() {
        Fixture f;
        f.window->show();
        f.app.write("other.json", "{\"items\": [{\"slot\": 0, \"product\": \"Niche Site Builder\"}]}");
        QVERIFY(f.window->OpenFile(f.app.file("other.json")));
        f.window->mnuNew->trigger();
        f.window->close();
        QVERIFY(f.messages.asked.isEmpty());
        QVERIFY(!f.window->isVisible());
    }

    void openingAnotherFunnelClosesTheDetailsWindow() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QPointer<frmConvert> form = f.convert();
        QVERIFY(form);
        f.app.write("other.json", "{\"items\": [{\"slot\": 0, \"product\": \"Niche Site Builder\"}], "
                                  "\"plugin\": {\"identifier\": \"pother\", \"name\": \"Other\"}}");
        f.messages.answers = {Messages::SaveAnswer::Discard};
        QVERIFY(f.window->OpenFile(f.app.file("other.json")));
        QTRY_VERIFY(!form);
        frmConvert* other = f.convert();
        QCOMPARE(other->txtPluginID->text(), QString("pother"));
        QCOMPARE(other->txtPlugin_Name->text(), QString("Other"));
    }

    void quittingClosesTheDetailsWindow_data() {
        QTest::addColumn<Messages::SaveAnswer>("answer");
        QTest::addColumn<bool>("quits");
        QTest::newRow("discard") << Messages::SaveAnswer::Discard << true;
        QTest::newRow("cancel") << Messages::SaveAnswer::Cancel << false;
    }
    void quittingClosesTheDetailsWindow() {
        QFETCH(Messages::SaveAnswer, answer);
        QFETCH(bool, quits);
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QPointer<frmConvert> form = f.convert();
        f.messages.answers = {answer};
        QCOMPARE(f.window->close(), quits);
        // Its button would build the funnel that was just discarded.
        if (quits)
            QTRY_VERIFY(!form);
        else
            QVERIFY(form && form->isVisible());
    }

    // A product's problem shows in its panel as soon as it is picked, and Convert names it.
    void productProblemsShowWhenPicked_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QByteArray>("download");
        QTest::addColumn<QString>("problem");
        const QByteArray web("https://d.example.com/a.zip");
        QTest::newRow("blank in the folder name")
            << "two words"
            << "Two Words" << web << "its folder \"two words\" has a blank in its name";
        QTest::newRow("no web address")
            << "kit"
            << "Kit" << QByteArray("ftp://d.example.com/a.zip") << "must be a web address";
        QTest::newRow("no image") << "noimage"
                                  << "Noimage" << web << "has no sales page image";
        QTest::newRow("sound") << "good"
                               << "Good" << web + "\n"
                               << "";
    }
    void productProblemsShowWhenPicked() {
        QFETCH(QString, folder);
        QFETCH(QString, product);
        QFETCH(QByteArray, download);
        QFETCH(QString, problem);
        Fixture f;
        f.app.write("myproducts/" + folder + "/download.txt", download);
        if (folder != "noimage")
            f.app.write("myproducts/" + folder + "/salespage.jpg",
                        f.app.read("myproducts/demo-product/salespage.jpg"));
        f.window = f.open();
        f.pick(0, "My Products: " + product);
        QLabel* shown = f.window->panel(0)->lblProblem;
        QCOMPARE(!shown->isHidden(), !problem.isEmpty());
        QVERIFY2(shown->toolTip().contains(problem), qPrintable(shown->toolTip()));
        QCOMPARE(f.window->panel(0)->cboProduct->accessibleDescription(), shown->toolTip());

        f.messages.shown.clear();
        QTest::mouseClick(f.window->cmdCreate, Qt::LeftButton);
        QCOMPARE(f.window->convertWindow() == nullptr, !problem.isEmpty());
        if (!problem.isEmpty())
            QVERIFY2(f.messages.lastText().contains("(Front End Offer)") &&
                         f.messages.lastText().contains(problem),
                     qPrintable(f.messages.lastText()));
    }

    // A product made in the window is in every item's list at once, picked for the item with the
    // focus, and is built as the same product made by hand: same folder, same plugin files.
    void aNewProductIsListedAndBuiltAsAHandMadeOne_data() {
        QTest::addColumn<int>("focus");
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("menu, an upsell has the focus") << 1 << true;
        QTest::newRow("button, no item had the focus") << -1 << false;
    }
    void aNewProductIsListedAndBuiltAsAHandMadeOne() {
        QFETCH(int, focus);
        QFETCH(bool, fromMenu);
        Fixture f;
        const QByteArray image = f.app.read("myproducts/demo-product/salespage.jpg");
        const QString address = "https://files.example.com/cool-kit.zip";
        f.handMade("hand-kit", address);
        f.app.write("pictures/cover.jpeg", image);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.window->model().AddUpsell(0);
        if (focus >= 0)
            f.window->panel(focus)->cboProduct->setFocus(Qt::TabFocusReason);
        const int made = std::max(focus, 0);
        const int other = 1 - made;

        f.productWindow(
            [&] { fromMenu ? f.window->mnuNewProduct->trigger() : f.window->lblNewProduct->click(); },
            [&](frmCustomProduct& window) {
                QCOMPARE(window.windowTitle(), QString("New Product"));
                window.txtName->setText("Cool Kit");
                window.txtSalesPageImage->setText(
                    QDir::toNativeSeparators(f.app.file("pictures/cover.jpeg")));
                window.txtDownloadUrl->setText(address);
                QTest::mouseClick(window.cmdSave, Qt::LeftButton);
            });
        QVERIFY2(f.messages.shown.isEmpty(), qPrintable(f.messages.lastText()));
        QVERIFY(f.listedEverywhere("My Products: Cool Kit"));
        QCOMPARE(f.window->panel(made)->cboProduct->currentText(), QString("My Products: Cool Kit"));
        QCOMPARE(f.window->model().Slot(made).txtProductDownloadUrl, address);
        QCOMPARE(FolderSnapshot(f.app.file("myproducts/cool-kit")),
                 FolderSnapshot(f.app.file("myproducts/hand-kit")));

        f.pick(other, "My Products: Hand Kit");
        QTest::mouseClick(f.convert()->Command3, Qt::LeftButton);
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
        const QString folder = f.window->document().details().identifier + "/modules/template/";
        const auto entries = ReadZip(f.app.file("output/myplugin.zip"));
        for (int n : {made, other}) {
            QCOMPARE(entries[folder + QString("funnelitem-%1.jpg").arg(n)].content, image);
            QVERIFY(entries[folder + QString("download-funnelitem-%1.php").arg(n)].content.contains(
                address.toUtf8()));
        }
    }

    // Changing a product moves the items that use it along; removing asks, and is refused while
    // an item uses the product.
    void aProductIsChangedOrRemoved_data() {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<bool>("used");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("listed");
        QTest::newRow("renamed while used") << true << true << false << ""
                                            << "My Products: Mega Kit";
        QTest::newRow("removed") << false << false << true << ""
                                 << "";
        QTest::newRow("removal not confirmed") << false << false << false << ""
                                               << "My Products: Hand Kit";
        QTest::newRow("removal while used") << false << true << true << "is used by Front End Offer"
                                            << "My Products: Hand Kit";
    }
    void aProductIsChangedOrRemoved() {
        QFETCH(bool, rename);
        QFETCH(bool, used);
        QFETCH(bool, confirm);
        QFETCH(QString, message);
        QFETCH(QString, listed);
        Fixture f;
        f.handMade("hand-kit", "https://files.example.com/old.zip");
        if (used)
            f.pick(0, "My Products: Hand Kit");
        f.messages.confirmations = {confirm};
        f.productWindow([&] { f.window->mnuEditProduct->trigger(); },
                        [&](frmCustomProduct& window) {
                            QCOMPARE(window.cboProduct->currentText(),
                                     used ? "My Products: Hand Kit" : "My Products: Demo Product");
                            window.cboProduct->setCurrentText("My Products: Hand Kit");
                            QCOMPARE(window.txtDownloadUrl->text(),
                                     QString("https://files.example.com/old.zip"));
                            if (rename) {
                                window.txtName->setText("Mega Kit");
                                window.txtDownloadUrl->setText("https://files.example.com/mega.zip");
                                QTest::mouseClick(window.cmdSave, Qt::LeftButton);
                            } else {
                                QTest::mouseClick(window.cmdRemove, Qt::LeftButton);
                            }
                        });
        QCOMPARE(f.messages.asked.size(), rename || used ? 0 : 1);
        QVERIFY2(message.isEmpty() ? f.messages.shown.isEmpty() : f.messages.lastText().contains(message),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.listedEverywhere("My Products: Hand Kit"), listed == "My Products: Hand Kit");
        if (!listed.isEmpty())
            QVERIFY(f.listedEverywhere(listed));
        QCOMPARE(QFileInfo::exists(f.app.file("myproducts/hand-kit")), listed == "My Products: Hand Kit");
        if (used) {
            QCOMPARE(f.window->model().Slot(0).cboProduct, listed);
            QCOMPARE(
                f.window->model().Slot(0).txtProductDownloadUrl,
                QString(rename ? "https://files.example.com/mega.zip" : "https://files.example.com/old.zip"));
        }
    }

    // The build reads the products' folders as it goes: no product window opens meanwhile.
    void productsWaitForTheBuild() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        frmConvert* form = f.convert();
        int opened = 0;
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [&] {
            if (auto* product = qobject_cast<frmCustomProduct*>(QApplication::activeModalWidget())) {
                ++opened;
                product->reject();
            }
        });
        guard.start(5);
        QTimer::singleShot(0, [&] {
            QVERIFY(form->IsBuilding());
            f.window->mnuNewProduct->trigger();
            f.window->mnuEditProduct->trigger();
        });
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(opened, 0);
        QCOMPARE(f.messages.shown.size(), 3);
        QVERIFY(f.messages.shown[1].text.contains("being built"));
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
    }

    void openAndSaveProblemsAreShown() {
        Fixture f;
        f.app.write("bad.json", "{\"items\": [{\"slot\": 0}], \"plugin\": \"x\"}");
        QVERIFY(!f.window->OpenFile(f.app.file("bad.json")));
        QCOMPARE(f.messages.lastTitle(), QString("Open Funnel"));
        QCOMPARE(f.messages.lastText(), QString("\"plugin\" must be an object, not text."));
        QCOMPARE(f.window->windowTitle(), kBase);

        QVERIFY(!f.window->SaveFile(f.app.file("no/such/folder/f.json")));
        QCOMPARE(f.messages.lastTitle(), QString("Save Funnel"));
        QVERIFY(f.messages.lastText().startsWith("Cannot save"));
        QCOMPARE(f.window->windowTitle(), kBase);
    }

    void recentFilesThatAreGone() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QVERIFY(f.window->SaveFile(f.app.file("a&b.json")));
        QVERIFY(f.window->SaveFile(f.app.file("gone.json")));
        QFile::remove(f.app.file("gone.json"));
        QCOMPARE(f.window->mnuRecent->actions()[1]->text(), "&2 " + f.app.file("a&&b.json"));
        f.window->mnuRecent->actions().first()->trigger();
        QTRY_COMPARE(f.messages.lastTitle(), QString("Open Funnel"));
        QVERIFY(f.messages.lastText().contains("does not exist"));
        QCOMPARE(f.window->document().recentFiles().Files(), QStringList{f.app.file("a&b.json")});
        QCOMPARE(f.window->mnuRecent->actions().first()->data().toString(), f.app.file("a&b.json"));
        // Clear List empties and disables the menu.
        f.window->mnuRecent->actions().last()->trigger();
        QTRY_VERIFY(!f.window->mnuRecent->isEnabled());
        QVERIFY(f.window->document().recentFiles().Files().isEmpty());
    }

    void saveAsAddsTheSuffix() {
        Fixture f;
        f.pick(0, "Webinar Wealth");
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(f.app.file("named"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        f.window->mnuSaveAs->trigger();
        QVERIFY(f.app.read("named.json").contains("Webinar Wealth"));
        QCOMPARE(f.window->windowTitle(), "named.json - " + kBase);
    }

    void dropIgnoresWhatIsNotOneFile() {
        Fixture f;
        QMimeData text;
        text.setText("not a file");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(f.window.get(), &enter);
        QVERIFY(!enter.isAccepted());
        QMimeData two;
        two.setUrls({QUrl::fromLocalFile(f.app.file("a.json")), QUrl::fromLocalFile(f.app.file("b.json"))});
        QDragEnterEvent enterTwo(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
        enterTwo.ignore();
        QApplication::sendEvent(f.window.get(), &enterTwo);
        QVERIFY(!enterTwo.isAccepted());
    }
};

QTEST_MAIN(tst_FunnelWindow)
#include "tst_funnelwindow.moc"
