#include "Recorders.h"
#include "TestAppFolder.h"
#include "ZipReader.h"
#include "app/frmFunnels.h"
#include "catalogue/BuiltInProducts.h"
#include "funnel/FunnelItemPanel.h"
#include "funnel/FunnelModel.h"
#include "platform/KelvrinTools.h"
#include "platform/QtMessages.h"
#include "plugin/frmConvert.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMultiMap>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

namespace {

// Presses Tab until `target` has the focus; false when the focus chain never reaches it.
bool tabTo(QWidget* target) {
    for (int n = 0; n < 60; ++n) {
        QWidget* focus = QApplication::focusWidget();
        if (focus == target)
            return true;
        QTest::keyClick(focus ? focus : target->window(), Qt::Key_Tab);
    }
    return false;
}

// Answers the next modal window with a key, once it is shown, and reports its title.
void answerModal(Qt::Key key, QString* title) {
    QTimer::singleShot(0, [key, title] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        *title = modal->windowTitle();
        QTest::keyClick(modal, key);
    });
}

struct Fixture {
    TestAppFolder app;
    RecordingMessages messages;
    RecordingShell shell;
    frmFunnels window{app.path(), messages, shell};
    bool show() {
        window.show();
        return activate();
    }
    // A window manager gives the focus back when a dialog closes; the test platform does not.
    bool activate() {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

// Controls by their Alt letter: one group for the window's own controls and its menu bar, one for
// each menu, since a letter reaches one control only within its group.
using Group = QMultiMap<QChar, QString>;

QChar letterOf(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&')) {
            if (text.at(i + 1) != QLatin1Char('&'))
                return text.at(i + 1).toLower();
            ++i;
        }
    return {};
}

QList<Group> mnemonicGroups(QWidget* window) {
    auto add = [](Group& group, const QString& text, bool shown) {
        if (const QChar letter = letterOf(text); shown && !letter.isNull())
            group.insert(letter, text);
    };
    QList<Group> groups{Group()};
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        add(groups[0], button->text(), button->isVisibleTo(window));
    for (QLabel* label : window->findChildren<QLabel*>())
        add(groups[0], label->buddy() ? label->text() : QString(), label->isVisibleTo(window));
    for (QGroupBox* box : window->findChildren<QGroupBox*>())
        add(groups[0], box->isCheckable() ? box->title() : QString(), box->isVisibleTo(window));
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        for (QAction* action : bar->actions())
            add(groups[0], action->text(), action->isVisible());
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        groups << Group();
        for (QAction* action : menu->actions())
            add(groups.last(), action->text(), action->isVisible() && !action->isSeparator());
    }
    return groups;
}

// The letters that reach more than one control, with the controls' texts.
QString clashes(const QList<Group>& groups) {
    QStringList found;
    for (const Group& group : groups)
        for (const QChar letter : group.uniqueKeys())
            if (group.count(letter) > 1)
                found << QStringLiteral("%1: %2").arg(letter).arg(
                    group.values(letter).join(QStringLiteral(" | ")));
    return found.join(QStringLiteral("; "));
}

// The groups of the modal window that `open` shows, collected before it is closed again.
QList<Group> modalGroups(const std::function<void()>& open) {
    QList<Group> groups;
    QTimer::singleShot(0, [&groups] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            groups = mnemonicGroups(modal);
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    open();
    return groups;
}

using WindowLetters = std::function<QList<Group>(Fixture&)>;
using Quit = std::function<void(frmFunnels&)>;

} // namespace

Q_DECLARE_METATYPE(WindowLetters)
Q_DECLARE_METATYPE(Quit)

class tst_Keyboard : public QObject {
    Q_OBJECT

private slots:
    void tabReachesEveryControlOfTheMainWindow() {
        Fixture f;
        QVERIFY(f.show());
        f.window.model().AddUpsell(0);
        f.window.model().AddDownsell(1);
        FunnelItemPanel* downsell = f.window.panel(3);
        const QList<QWidget*> controls{f.window.lblMyProducts,
                                       f.window.panel(0)->lblPreview,
                                       f.window.panel(0)->cboProduct,
                                       f.window.panel(0)->txtProductDownloadUrl,
                                       f.window.panel(1)->cmdAddUpsell,
                                       downsell->lblRemoveDownsell,
                                       downsell->lblPreview,
                                       downsell->txtProductDownloadUrl,
                                       f.window.cmdCreate,
                                       f.window.cmdOutput,
                                       f.window.Command1};
        f.window.lblMyProducts->setFocus();
        for (QWidget* control : controls)
            QVERIFY2(tabTo(control), qPrintable(control->objectName()));
    }

    // Alt and a letter reaches one control in every window the program opens; the panels, which
    // repeat their controls, have no letters of their own.
    void mnemonicsUniqueInEveryWindow_data() {
        QTest::addColumn<WindowLetters>("open");
        QTest::addColumn<int>("ownLetters");
        auto pick = [](Fixture& f) {
            f.window.model().SetProductText(0, "Webinar Wealth");
            f.window.model().SelectProduct(0, f.window.catalogue());
        };
        QTest::newRow("main window") << WindowLetters([](Fixture& f) { return mnemonicGroups(&f.window); })
                                     << 9;
        QTest::newRow("main window, every item shown") << WindowLetters([](Fixture& f) {
            f.window.model().AddUpsell(0);
            f.window.model().AddUpsell(1);
            f.window.model().AddDownsell(1);
            f.window.model().AddDownsell(2);
            return f.window.panel(4)->isVisible() ? mnemonicGroups(&f.window) : QList<Group>();
        }) << 9;
        QTest::newRow("Create Plugin") << WindowLetters([pick](Fixture& f) {
            pick(f);
            f.window.cmdCreate->click();
            return f.window.convertWindow() ? mnemonicGroups(f.window.convertWindow()) : QList<Group>();
        }) << 11;
        QTest::newRow("My Products") << WindowLetters([](Fixture& f) {
            return modalGroups([&f] { f.window.lblMyProducts->click(); });
        }) << 2;
        QTest::newRow("New Product") << WindowLetters([](Fixture& f) {
            return modalGroups([&f] { f.window.lblNewProduct->click(); });
        }) << 6;
        QTest::newRow("Edit Product") << WindowLetters([](Fixture& f) {
            return modalGroups([&f] { f.window.mnuEditProduct->trigger(); });
        }) << 8;
        QTest::newRow("Product Viewer") << WindowLetters([pick](Fixture& f) {
            pick(f);
            return modalGroups([&f] { f.window.panel(0)->lblPreview->click(); });
        }) << 1;
        QTest::newRow("save question") << WindowLetters([](Fixture&) {
            return modalGroups([] { QtMessages().AskToSave("Save Funnel", "Do you want to save?"); });
        }) << 3;
        QTest::newRow("message") << WindowLetters([](Fixture&) {
            return modalGroups(
                [] { QtMessages().Show("Important", "A message.", Messages::Icon::Information); });
        }) << 0;
        QTest::newRow("About") << WindowLetters([](Fixture& f) {
            return modalGroups([&f] { f.window.mnuAbout->trigger(); });
        }) << 0;
        QTest::newRow("Open Funnel") << WindowLetters([](Fixture& f) {
            return modalGroups([&f] { f.window.mnuOpen->trigger(); });
        }) << 2;
        QTest::newRow("Save Funnel As")
            << WindowLetters([](Fixture& f) { return modalGroups([&f] { f.window.mnuSaveAs->trigger(); }); })
            << 2;
    }
    void mnemonicsUniqueInEveryWindow() {
        QFETCH(WindowLetters, open);
        QFETCH(int, ownLetters);
        Fixture f;
        QVERIFY(f.show());
        const QList<Group> groups = open(f);
        QVERIFY(!groups.isEmpty());
        QVERIFY2(clashes(groups).isEmpty(), qPrintable(clashes(groups)));
        QCOMPARE(groups.first().size(), ownLetters);
    }

    void funnelByKeyboardAlone() {
        Fixture f;
        QVERIFY(f.show());
        FunnelItemPanel* front = f.window.panel(0);

        // Ctrl+1: the front end's product list; Down picks the first product.
        QTest::keyClick(&f.window, Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), front->cboProduct);
        QTest::keyClick(front->cboProduct, Qt::Key_Down);
        QCOMPARE(f.window.model().Slot(0).cboProduct, BuiltInProducts::Names().first());

        // Ctrl+Shift+U adds an upsell to the item with the focus; Tab and Enter press the
        // upsell's "Add Downsell Page".
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
        FunnelItemPanel* upsell = f.window.panel(1);
        QVERIFY(upsell->isVisible());
        QCOMPARE(QApplication::focusWidget(), upsell->cboProduct);
        QVERIFY(tabTo(upsell->cmdAddDownsell));
        QTest::keyClick(upsell->cmdAddDownsell, Qt::Key_Return);
        FunnelItemPanel* downsell = f.window.panel(3);
        QVERIFY(downsell->isVisible());

        // The "X" takes the focus and Space removes the item; Ctrl+Z brings it back, and
        // Ctrl+Shift+X removes the item with the focus.
        QVERIFY(tabTo(downsell->lblRemoveDownsell));
        QTest::keyClick(downsell->lblRemoveDownsell, Qt::Key_Space);
        QVERIFY(!downsell->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(downsell->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), downsell->cboProduct);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!downsell->isVisible());
        QCOMPARE(QApplication::focusWidget(), upsell->cboProduct);
        // Only shown items are reached; the front end has no "X".
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), upsell->cboProduct);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(front->isVisible() && upsell->isVisible());

        // Ctrl+Shift+P previews the product of the item with the focus.
        QString shownTitle;
        answerModal(Qt::Key_Escape, &shownTitle);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shownTitle, QString("Product Viewer"));
        QVERIFY(f.activate());

        // "Preview" opens the viewer; Esc closes it.
        QVERIFY(tabTo(front->lblPreview));
        QString title;
        answerModal(Qt::Key_Escape, &title);
        QTest::keyClick(front->lblPreview, Qt::Key_Space);
        QCOMPARE(title, QString("Product Viewer"));
        QCOMPARE(f.window.model().lblItemPreview, QString("0"));
        QVERIFY(f.activate());

        // "My Products" by Tab and Enter, and by F1; Esc closes the help.
        QVERIFY(tabTo(f.window.lblMyProducts));
        title.clear();
        answerModal(Qt::Key_Escape, &title);
        QTest::keyClick(f.window.lblMyProducts, Qt::Key_Return);
        QCOMPARE(title, QString("My Products"));
        QVERIFY(f.activate());
        title.clear();
        answerModal(Qt::Key_Escape, &title);
        QTest::keyClick(&f.window, Qt::Key_F1);
        QCOMPARE(title, QString("My Products"));
    }

    void createPluginByKeyboardAlone() {
        Fixture f;
        QVERIFY(f.show());
        QTest::keyClick(&f.window, Qt::Key_1, Qt::ControlModifier);
        QTest::keyClick(f.window.panel(0)->cboProduct, Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(f.window.convertWindow());
        QPointer<frmConvert> form = f.window.convertWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));

        // Alt+N: the name field; Enter presses the default button "Create Plugin".
        QTest::keyClick(form, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form->txtPlugin_Name);
        form->txtPlugin_Name->selectAll();
        QTest::keyClicks(form->txtPlugin_Name, "Keyed Plugin");
        QTest::keyClick(form->txtPlugin_Name, Qt::Key_Return);
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
        QVERIFY(QFileInfo(f.app.file("output/keyedplugin.zip")).isFile());
        QTRY_VERIFY(!form);
    }

    void escapeClosesCreatePluginWithoutBuilding() {
        Fixture f;
        QVERIFY(f.show());
        f.window.model().SetProductText(0, "Webinar Wealth");
        f.window.model().SelectProduct(0, f.window.catalogue());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(f.window.convertWindow());
        QPointer<frmConvert> form = f.window.convertWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QVERIFY(form->Command3->isDefault());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!form);
        QVERIFY(QDir(f.app.file("output")).isEmpty());
    }

    void closeAppClosesCreatePluginToo() {
        Fixture f;
        QVERIFY(f.show());
        f.window.model().SetProductText(0, "Webinar Wealth");
        f.window.model().SelectProduct(0, f.window.catalogue());
        QTest::mouseClick(f.window.cmdCreate, Qt::LeftButton);
        QPointer<frmConvert> form = f.window.convertWindow();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->txtPlugin_Author->setText("Typed Author");

        // The changed funnel is not kept, so nothing may build it any more.
        f.messages.answers << Messages::SaveAnswer::Discard;
        QTest::mouseClick(f.window.Command1, Qt::LeftButton);
        QVERIFY(!f.window.isVisible());
        QTRY_VERIFY(!form);
        QVERIFY(QDir(f.app.file("output")).isEmpty());
    }

    // Every change can be taken back from the keyboard, and no key press after Add or Remove
    // lands on another item's "X".
    void undoTakesBackEveryChange() {
        Fixture f;
        QVERIFY(f.show());
        FunnelModel& model = f.window.model();
        QTest::keyClick(f.window.panel(0)->cmdAddUpsell, Qt::Key_Space);
        QCOMPARE(QApplication::focusWidget(), f.window.panel(1)->cboProduct);
        f.window.panel(1)->cboProduct->setCurrentText("My Products: Demo Product");
        emit f.window.panel(1)->cboProduct->textActivated("My Products: Demo Product");
        QLineEdit* address = f.window.panel(1)->txtProductDownloadUrl;
        address->setFocus();
        address->selectAll();
        QTest::keyClicks(address, "https://d.example.com/kit.zip");
        const FunnelModel::State filled = model.Save();
        QCOMPARE(model.Slot(1).txtProductDownloadUrl, QString("https://d.example.com/kit.zip"));

        tabTo(f.window.panel(1)->lblRemoveDownsell);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(!model.IsPresent(1));
        QCOMPARE(QApplication::focusWidget(), f.window.panel(0)->cboProduct);

        // Ctrl+Z brings the item back with its product and address; the typing was one change.
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(model.Save() == filled);
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(model.Slot(1).txtProductDownloadUrl,
                 QString("https://downloads.example.com/myproducts/demo-product.zip"));
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(model.Slot(1).cboProduct, QString());
        QTest::keyClick(&f.window, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!model.IsPresent(1) && model.IsAddUpsellEnabled(0));
        QVERIFY(!f.window.mnuUndo->isEnabled());
        for (int n = 0; n < 4; ++n)
            f.window.mnuRedo->trigger();
        QVERIFY(!model.IsPresent(1));
        f.window.mnuUndo->trigger();
        QVERIFY(model.Save() == filled);
    }

    void saveQuestionAnswersToAltKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Messages::SaveAnswer>("answer");
        QTest::newRow("Alt+S") << int(Qt::Key_S) << Messages::SaveAnswer::Save;
        QTest::newRow("Alt+D") << int(Qt::Key_D) << Messages::SaveAnswer::Discard;
        QTest::newRow("Alt+C") << int(Qt::Key_C) << Messages::SaveAnswer::Cancel;
    }
    void saveQuestionAnswersToAltKeys() {
        QFETCH(int, key);
        QFETCH(Messages::SaveAnswer, answer);
        QTimer::singleShot(0, [key] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->activateWindow();
                if (QTest::qWaitForWindowActive(modal))
                    QTest::keyClick(modal, Qt::Key(key), Qt::AltModifier);
            }
        });
        // Escape, should the letter do nothing, so that the test ends either way.
        QTimer::singleShot(2000, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                QTest::keyClick(modal, Qt::Key_Escape);
        });
        QtMessages messages;
        const Messages::SaveAnswer given = messages.AskToSave("Save Funnel", "Do you want to save?");
        QCOMPARE(int(given), int(answer));
    }

    void ctrlQClosesEveryWindow() {
        Fixture f;
        QVERIFY(f.show());
        f.window.model().SetProductText(0, "Webinar Wealth");
        f.window.model().SelectProduct(0, f.window.catalogue());
        QTest::mouseClick(f.window.cmdCreate, Qt::LeftButton);
        QPointer<frmConvert> form = f.window.convertWindow();
        QVERIFY(form);
        QVERIFY(f.activate());
        f.messages.answers << Messages::SaveAnswer::Discard;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!f.window.isVisible());
        QTRY_VERIFY(!form);
    }

    // Quitting in the middle of a build is refused with a word, and the archive comes out whole.
    void quitWaitsForTheBuild_data() {
        QTest::addColumn<Quit>("quit");
        QTest::newRow("close box") << Quit([](frmFunnels& w) { w.close(); });
        QTest::newRow("Close App") << Quit([](frmFunnels& w) { w.Command1->click(); });
        QTest::newRow("File > Quit") << Quit([](frmFunnels& w) { w.mnuQuit->trigger(); });
    }
    void quitWaitsForTheBuild() {
        QFETCH(Quit, quit);
        Fixture f;
        QVERIFY(f.show());
        f.window.model().SetProductText(0, "Webinar Wealth");
        f.window.model().SelectProduct(0, f.window.catalogue());
        f.window.cmdCreate->click();
        QPointer<frmConvert> form = f.window.convertWindow();
        QVERIFY(form);
        form->txtPlugin_Name->setText("Quit Test");
        form->txtPluginID->setText("pquit");
        // Runs while the build lets window events through.
        bool duringBuild = false;
        QTimer::singleShot(0, [&] {
            duringBuild = form && form->IsBuilding();
            f.messages.answers << Messages::SaveAnswer::Discard;
            quit(f.window);
        });
        form->Command3->click();
        QVERIFY(duringBuild);
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.messages.shown.size(), 2);
        QCOMPARE(f.messages.shown.first().title, QString("Important"));
        QVERIFY(f.messages.shown.first().text.contains("being built"));
        QCOMPARE(f.messages.lastTitle(), QString("Done"));
        const auto entries = ReadZip(f.app.file("output/quittest.zip"));
        for (const char* entry : {"pquit/plugin.php", "pquit/modules/template/template.php",
                                  "pquit/modules/template/salespage-funnelitem-0.php", "pquit/uninstall.php"})
            QVERIFY2(entries.contains(entry), entry);
        // Once built, the same key quits.
        QTRY_VERIFY(!form);
        quit(f.window);
        QVERIFY(!f.window.isVisible());
    }

    void aboutNamesVersionAndLicence() {
        Fixture f;
        QVERIFY(f.show());
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->windowTitle() + '|' + box->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        f.window.mnuAbout->trigger();
        QVERIFY2(text.startsWith("About Veltrano|"), qPrintable(text));
        QVERIFY(text.contains("Version 2.6"));
        QVERIFY(text.contains("All rights reserved"));
    }
};

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
