#include "Recorders.h"
#include "TestAppFolder.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWindow>

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

// The mnemonic letters of the buttons and buddied captions below `root`, one entry per control.
QStringList mnemonics(QWidget* root) {
    QStringList letters;
    auto letterOf = [](const QString& text) {
        const int at = text.indexOf(QLatin1Char('&'));
        return at >= 0 && at + 1 < text.size() ? QString(text.at(at + 1).toLower()) : QString();
    };
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        letters << letterOf(button->text());
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->buddy())
            letters << letterOf(label->text());
    letters.removeAll(QString());
    return letters;
}

bool unique(const QStringList& letters) {
    return QSet<QString>(letters.begin(), letters.end()).size() == letters.size();
}

} // namespace

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

    // Alt and a letter reaches one control: the panels repeat their letters, one panel at a
    // time, and no letter of a panel is one of the window's own.
    void mnemonicsDoNotClash() {
        Fixture f;
        QStringList windowLetters = mnemonics(&f.window);
        const QStringList panelLetters = mnemonics(f.window.panel(1));
        QVERIFY(unique(panelLetters));
        for (int n = 0; n < 5; ++n)
            for (const QString& letter : mnemonics(f.window.panel(n)))
                windowLetters.removeOne(letter);
        QVERIFY2(unique(windowLetters), qPrintable(windowLetters.join(',')));
        for (const QString& letter : panelLetters)
            QVERIFY2(!windowLetters.contains(letter), qPrintable(letter));

        KelvrinTools tools(1);
        frmConvert convert(f.app.path(), f.window.model(), PluginDetails(), FunnelTokens(), tools, f.messages,
                           f.shell);
        QCOMPARE(mnemonics(&convert).size(), 11);
        QVERIFY2(unique(mnemonics(&convert)), qPrintable(mnemonics(&convert).join(',')));
    }

    void funnelByKeyboardAlone() {
        Fixture f;
        QVERIFY(f.show());
        FunnelItemPanel* front = f.window.panel(0);

        // Alt+S: the front end's product list (the caption's buddy); Down picks the first product.
        QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), front->cboProduct);
        QTest::keyClick(front->cboProduct, Qt::Key_Down);
        QCOMPARE(f.window.model().Slot(0).cboProduct, BuiltInProducts::Names().first());

        // Alt+P presses "Add Upsell Page" (a pressed mnemonic shows the button going down first);
        // Tab and Space press the upsell's "Add Downsell Page".
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
        FunnelItemPanel* upsell = f.window.panel(1);
        QTRY_VERIFY(upsell->isVisible());
        QVERIFY(tabTo(upsell->cmdAddDownsell));
        QTest::keyClick(upsell->cmdAddDownsell, Qt::Key_Return);
        FunnelItemPanel* downsell = f.window.panel(3);
        QVERIFY(downsell->isVisible());

        // The "X" takes the focus and Space removes the item.
        QVERIFY(tabTo(downsell->lblRemoveDownsell));
        QTest::keyClick(downsell->lblRemoveDownsell, Qt::Key_Space);
        QVERIFY(!downsell->isVisible());

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
        QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
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
