#include "Recorders.h"
#include "TestAppFolder.h"
#include "app/frmFunnels.h"
#include "funnel/FunnelItemPanel.h"
#include "platform/FocusRingStyle.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <array>
#include <cmath>

namespace {

// WCAG 2 relative luminance and contrast ratio.
double luminance(QRgb pixel) {
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) + 0.0722 * channel(qBlue(pixel));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Fixture {
    TestAppFolder app;
    RecordingMessages messages;
    RecordingShell shell;
    frmFunnels window{app.path(), messages, shell};
    // The first `items` items after the front end: upsell #1, upsell #2 and the two downsells.
    explicit Fixture(int items = 4) {
        const std::array<std::pair<bool (FunnelModel::*)(int), int>, 4> adds{
            {{&FunnelModel::AddUpsell, 0},
             {&FunnelModel::AddUpsell, 1},
             {&FunnelModel::AddDownsell, 1},
             {&FunnelModel::AddDownsell, 2}}};
        for (int n = 0; n < items; ++n)
            (window.model().*adds[size_t(n)].first)(adds[size_t(n)].second);
    }
    bool show() {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        // Styles draw some focus frames only once the keyboard has moved the focus.
        QTest::keyClick(&window, Qt::Key_Tab);
        return true;
    }
    // Create Plugin for the front end, which a product completes, the focus moved there by Tab.
    QWidget* openCreatePlugin() {
        window.model().SetProductText(0, "Webinar Wealth");
        window.model().SelectProduct(0, window.catalogue());
        window.cmdCreate->click();
        QWidget* form = window.convertWindow();
        if (!form || !QTest::qWaitForWindowActive(form))
            return nullptr;
        QTest::keyClick(form, Qt::Key_Tab);
        return form;
    }
};

// Where a control lies, besides an item's panel (its slot).
constexpr int kDiagram = -1;
constexpr int kCreatePlugin = -2;

// `control` and a margin around it as its parent shows it, so a frame drawn around the control
// counts as well as one drawn inside it.
QImage around(QWidget* control) {
    QApplication::processEvents();
    const int margin = 3;
    return control->parentWidget()
        ->grab(control->geometry().adjusted(-margin, -margin, margin, margin))
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Grabs of `control` with and without the focus, the focus having come by Tab.
std::pair<QImage, QImage> focusedAndNot(QWidget* control, QWidget* elsewhere) {
    elsewhere->setFocus(Qt::TabFocusReason);
    const QImage without = around(control);
    control->setFocus(Qt::TabFocusReason);
    return {around(control), without};
}

} // namespace

class tst_FocusVisible : public QObject {
    Q_OBJECT

private slots:
    // The program's own style, as main() sets it.
    void initTestCase() { UseFocusRingStyle(); }

    // The focus indicator is the part of a control the focus changes; enough of it to ring the
    // control once stands out from the panel behind it by 3:1 (WCAG's contrast for controls).
    void focusStandsOutFromEveryPanel_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QColor>("background");
        // Enough items for the control to be shown and enabled.
        QTest::addColumn<int>("items");
        const QColor front(64, 0, 64);
        const QColor downsell(128, 0, 128);
        for (const char* name : {"cboProduct", "txtProductDownloadUrl", "lblPreview", "cmdAddUpsell"})
            QTest::addRow("front end: %s", name) << 0 << QString(name) << front << 0;
        QTest::addRow("upsell: cmdAddDownsell") << 1 << QString("cmdAddDownsell") << front << 1;
        QTest::addRow("upsell: lblRemoveDownsell") << 1 << QString("lblRemoveDownsell") << front << 4;
        for (const char* name : {"cboProduct", "txtProductDownloadUrl", "lblPreview", "lblRemoveDownsell"})
            QTest::addRow("downsell: %s", name) << 3 << QString(name) << downsell << 4;
        for (const char* name : {"lblMyProducts", "lblNewProduct", "cmdCreate", "cmdOutput", "Command1"})
            QTest::addRow("diagram: %s", name) << kDiagram << QString(name) << QColor(Qt::white) << 4;
        // On the window's own colour; the default button, Command3, is marked already without the
        // focus.
        for (const char* name : {"txtPluginID", "cmdGenerateIdentifier", "Command3", "Command1"})
            QTest::addRow("Create Plugin: %s", name) << kCreatePlugin << QString(name) << QColor() << 0;
    }
    void focusStandsOutFromEveryPanel() {
        QFETCH(int, slot);
        QFETCH(QString, control);
        QFETCH(QColor, background);
        QFETCH(int, items);
        Fixture f(items);
        QVERIFY(f.show());
        QWidget* parent = slot == kDiagram ? static_cast<QWidget*>(&f.window) : nullptr;
        QWidget* elsewhere = f.window.cmdCreate;
        if (slot == kDiagram) {
            elsewhere = f.window.panel(0)->cboProduct;
        } else if (slot == kCreatePlugin) {
            parent = f.openCreatePlugin();
            QVERIFY(parent);
            background = parent->palette().color(QPalette::Window);
            elsewhere = parent->findChild<QWidget*>("txtPlugin_License");
        } else {
            parent = f.window.panel(slot);
        }
        auto* widget = parent->findChild<QWidget*>(control);
        QVERIFY(widget && widget->isVisible() && widget->isEnabled());
        const auto [focused, unfocused] = focusedAndNot(widget, elsewhere);
        QCOMPARE(focused.size(), unfocused.size());
        int standsOut = 0;
        double best = 1;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x)
                if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                    const double ratio = contrast(focused.pixel(x, y), background.rgb());
                    best = std::max(best, ratio);
                    standsOut += ratio >= 3.0;
                }
        // A one-pixel frame along the control's edge, less the rounded corners some styles draw.
        const int ring = (2 * (widget->width() + widget->height()) - 4) * 9 / 10;
        QVERIFY2(standsOut >= ring, qPrintable(QStringLiteral("%1 of %2 pixels at 3:1, best %3:1")
                                                   .arg(standsOut)
                                                   .arg(ring)
                                                   .arg(best, 0, 'f', 2)));
    }

    // Every control Tab reaches looks different with the focus than without it.
    void everyTabStopShowsTheFocus_data() {
        QTest::addColumn<bool>("createPlugin");
        QTest::addColumn<int>("fewestStops");
        QTest::newRow("main window") << false << 20;
        QTest::newRow("Create Plugin") << true << 11;
    }
    void everyTabStopShowsTheFocus() {
        QFETCH(bool, createPlugin);
        QFETCH(int, fewestStops);
        // Every item for the main window; only the front end, which a product completes, for
        // Create Plugin.
        Fixture f(createPlugin ? 0 : 4);
        QVERIFY(f.show());
        QVERIFY(!createPlugin || f.openCreatePlugin());
        QList<QWidget*> stops;
        for (QWidget* focus = QApplication::focusWidget(); focus && !stops.contains(focus);
             focus = QApplication::focusWidget()) {
            stops << focus;
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QVERIFY2(stops.size() >= fewestStops, qPrintable(QString::number(stops.size())));
        for (QWidget* stop : stops) {
            // Away to a control that neither holds nor lies inside or beside this one, so that
            // only this one's own focus can change the grab.
            const QRect place(stop->mapToGlobal(QPoint()), stop->size());
            QWidget* elsewhere = nullptr;
            for (QWidget* other : stops)
                if (!stop->isAncestorOf(other) && !other->isAncestorOf(stop) &&
                    !place.adjusted(-4, -4, 4, 4)
                         .intersects(QRect(other->mapToGlobal(QPoint()), other->size())))
                    elsewhere = other;
            QVERIFY(elsewhere);
            const auto [focused, unfocused] = focusedAndNot(stop, elsewhere);
            QVERIFY2(focused != unfocused,
                     qPrintable(stop->objectName() + QLatin1Char(' ') + stop->metaObject()->className()));
        }
    }
};

QTEST_MAIN(tst_FocusVisible)
#include "tst_focusvisible.moc"
