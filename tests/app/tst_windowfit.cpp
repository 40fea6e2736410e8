#include "Recorders.h"
#include "TestAppFolder.h"
#include "TestPlatform.h"
#include "app/frmCustomProduct.h"
#include "app/frmFunnels.h"
#include "app/frmMyProducts.h"
#include "catalogue/CustomProductWriter.h"
#include "funnel/ConnectorPicture.h"
#include "funnel/FunnelItemPanel.h"
#include "funnel/frmProductViewer.h"
#include "platform/KelvrinTools.h"
#include "platform/ScreenFit.h"
#include "plugin/frmConvert.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

// Every item of the funnel shown: both upsells and both downsells.
void showAllItems(frmFunnels& window) {
    window.model().AddUpsell(0);
    window.model().AddUpsell(1);
    window.model().AddDownsell(1);
    window.model().AddDownsell(2);
}

QString describe(const QWidget* control, const QString& text, const QSize& need) {
    return QStringLiteral("%1 \"%2\" needs %3x%4 but has %5x%6")
        .arg(control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                             : control->objectName(),
             text)
        .arg(need.width())
        .arg(need.height())
        .arg(control->width())
        .arg(control->height());
}

// Every shown label and button of `window` whose text is larger than the control.
QStringList textsThatDoNotFit(QWidget* window) {
    QStringList problems;
    // Wine has neither Windows' fonts nor its font engine: sizes measured there say nothing.
    if (RunsUnderWine())
        return problems;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty())
            continue;
        const QRect room = label->contentsRect();
        const QSize need = label->wordWrap() ? QSize(room.width(), label->heightForWidth(label->width()))
                                             : label->fontMetrics().size(Qt::TextShowMnemonic, label->text());
        if (need.width() > room.width() || need.height() > label->height())
            problems << describe(label, label->text(), need);
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        const auto* push = qobject_cast<QPushButton*>(button);
        // A button's bevel takes a few pixels on either side of the text; a link's focus frame one.
        const int margins = push && push->isFlat() ? 2 : 8;
        const QSize need =
            QFontMetrics(button->font()).size(Qt::TextShowMnemonic, button->text()) + QSize(margins, 2);
        if (need.width() > button->width() || need.height() > button->height())
            problems << describe(button, button->text(), need);
    }
    return problems;
}

// Pairs of shown fields and buttons of `window` that lie over one another.
QStringList controlsThatOverlap(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* control : window->findChildren<QWidget*>())
        if (control->isVisibleTo(window) &&
            (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
             qobject_cast<QPlainTextEdit*>(control) || qobject_cast<QComboBox*>(control)))
            controls << control;
    // What shows of a control: a scroll area's viewport hides what lies beyond it.
    const auto place = [window](QWidget* control) {
        QRect shown(control->mapTo(window, QPoint()), control->size());
        for (QWidget* outer = control->parentWidget(); outer && outer != window;
             outer = outer->parentWidget())
            shown &= QRect(outer->mapTo(window, QPoint()), outer->size());
        return shown;
    };
    QStringList problems;
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j)
            if (place(controls[i]).intersects(place(controls[j])))
                problems << controls[i]->objectName() + QStringLiteral(" overlaps ") +
                                controls[j]->objectName();
    return problems;
}

// The next smaller of the sizes font dialogs offer.
double oneSizeBelow(double points) {
    double below = points;
    for (int size : QFontDatabase::standardSizes())
        if (size < points - 0.01)
            below = size;
    return below;
}

// What is wrong with an arrow drawn in `drawn` to join panel `from` to panel `to`: a head too
// small to see, a tail or tip off the panels' edges, a bend, or a part cut off.
QStringList arrowFaults(const ConnectorArrow& arrow, const QRectF& from, const QRectF& to,
                        const QRect& drawn) {
    const bool down = to.top() > from.bottom();
    const QPointF tailEdge =
        down ? QPointF(arrow.tail.x(), from.bottom()) : QPointF(from.right(), arrow.tail.y());
    const QPointF tipEdge = down ? QPointF(arrow.tip.x(), to.top()) : QPointF(to.left(), arrow.tip.y());
    const QRectF bounds = arrow.Bounds();
    QStringList faults;
    if (arrow.headLength < 8 || arrow.headWidth < arrow.shaftWidth + 8 || arrow.shaftWidth < 4)
        faults << QStringLiteral("head %1 by %2 on a shaft %3 wide")
                      .arg(arrow.headLength)
                      .arg(arrow.headWidth)
                      .arg(arrow.shaftWidth);
    if (QLineF(arrow.tail, tailEdge).length() > 0.5 || QLineF(arrow.tip, tipEdge).length() > 0.5)
        faults << QStringLiteral("runs from %1,%2 to %3,%4, not edge to edge")
                      .arg(arrow.tail.x())
                      .arg(arrow.tail.y())
                      .arg(arrow.tip.x())
                      .arg(arrow.tip.y());
    if (down ? arrow.tail.x() != arrow.tip.x() : arrow.tail.y() != arrow.tip.y())
        faults << QStringLiteral("bends");
    if (!(down ? std::max(from.left(), to.left()) < bounds.left() &&
                     bounds.right() < std::min(from.right(), to.right())
               : std::max(from.top(), to.top()) < bounds.top() &&
                     bounds.bottom() < std::min(from.bottom(), to.bottom())))
        faults << QStringLiteral("reaches past the panels' sides");
    if (!QRectF(drawn).contains(bounds))
        faults << QStringLiteral("cut off: needs %1,%2 %3x%4")
                      .arg(bounds.x())
                      .arg(bounds.y())
                      .arg(bounds.width())
                      .arg(bounds.height());
    return faults;
}

// Every arrow of `window` as drawn, and its diagram's text beside the window's.
QStringList diagramFaults(frmFunnels& window) {
    QStringList faults;
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c) {
        const ConnectorPicture* picture = window.imgFunnel(c);
        for (const QString& fault :
             arrowFaults(picture->arrow(), window.panel(FunnelModel::Parent(c + 1))->geometry(),
                         window.panel(c + 1)->geometry(), picture->geometry()))
            faults << picture->objectName() + QStringLiteral(": ") + fault;
    }
    const double windowPoints = window.font().pointSizeF();
    for (int n = 0; n < FunnelModel::SlotCount; ++n)
        if (window.panel(n)->font().pointSizeF() < oneSizeBelow(windowPoints) - 0.01)
            faults << QStringLiteral("diagram text %1 pt in a window of %2 pt")
                          .arg(window.panel(n)->font().pointSizeF())
                          .arg(windowPoints);
    return faults;
}

// What is wrong with the side bar's colour in the strip below the diagram: a main button on it,
// or the colour gone where no button stands in its place.
QStringList sideBarColourFaults(const frmFunnels& window) {
    const auto* colour = window.cmdBar->findChild<QWidget*>(QStringLiteral("Picture2"));
    QStringList faults;
    bool clear = true;
    for (const QPushButton* button : {window.cmdCreate, window.cmdOutput, window.Command1}) {
        if (!colour->geometry().intersects(button->geometry()))
            continue;
        clear = false;
        if (colour->isVisible())
            faults << button->text() + QStringLiteral(" on the side bar's colour");
    }
    if (clear && !colour->isVisible())
        faults << QStringLiteral("the side bar's colour is gone");
    return faults;
}

// Products each with a problem for its panel to show; where links can be made, one with a link
// in its folder, and a built-in product whose image is a link.
void writeProductsWithProblems(const TestAppFolder& app) {
    const QByteArray image = app.read("myproducts/demo-product/salespage.jpg");
    const QByteArray web = "https://files.example.com/kit.zip";
    const QList<std::array<QByteArray, 3>> products{
        {"noimage", "", web},
        {"nodownload", image, ""},
        {"ftp", image, "ftp://files.example.com/downloads/kit.zip"},
        {"two words", image, web},
        {"gone", image, web},
        {"fake", "not a picture", web},
        {"linked", image, web}};
    for (const auto& [folder, picture, address] : products) {
        if (!picture.isEmpty())
            app.write("myproducts/" + folder + "/salespage.jpg", picture);
        if (!address.isEmpty())
            app.write("myproducts/" + folder + "/download.txt", address);
    }
#ifndef Q_OS_WIN
    QFile::link(app.file("myproducts/demo-product/salespage.jpg"), app.file("myproducts/linked/extra.jpg"));
    QFile::remove(app.file("productspro/webinarwealth/salespage.gif"));
    QFile::link(app.file("myproducts/demo-product/salespage.jpg"),
                app.file("productspro/webinarwealth/salespage.gif"));
#endif
}

// `shown` is `whole`, or `whole` with the middle of one run without blanks (a path) left out.
bool isWholeOrShortenedInAPath(const QString& shown, const QString& whole) {
    const qsizetype cut = shown.indexOf(QChar(0x2026));
    if (shown == whole || cut < 0)
        return shown == whole;
    const QString head = shown.left(cut);
    const QString tail = shown.mid(cut + 1);
    const qsizetype left = whole.size() - head.size() - tail.size();
    return left > 0 && whole.startsWith(head) && whole.endsWith(tail) &&
           !whole.mid(head.size(), left).contains(QLatin1Char(' '));
}

} // namespace

class tst_WindowFit : public QObject {
    Q_OBJECT

private slots:
    void everyTextFitsItsControl() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        showAllItems(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList problems = textsThatDoNotFit(&window);

        KelvrinTools tools(1);
        frmConvert convert(app.path(), window.model(), PluginDetails(), FunnelTokens(), tools, messages,
                           shell);
        convert.show();
        QVERIFY(QTest::qWaitForWindowExposed(&convert));
        problems += textsThatDoNotFit(&convert);

        frmMyProducts help(app.file("myproducts"), shell);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        problems += textsThatDoNotFit(&help);

        CustomProductWriter writer(app.path());
        frmCustomProduct product(writer, window.model(), messages, {"My Products: Demo Product"});
        product.show();
        QVERIFY(QTest::qWaitForWindowExposed(&product));
        problems += textsThatDoNotFit(&product);

        frmProductViewer viewer(app.file("productspro/webinarwealth/preview.html"));
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        problems += textsThatDoNotFit(&viewer);

        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Every window opens within the screen, its texts fitting. CTest runs this test on the
    // screens that matter: 1366x768 and 1920x1080, each at 100%, 150% and 200% scaling.
    void everyWindowFitsTheScreen() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        qInfo() << "screen" << available.size() << "at" << qApp->devicePixelRatio();
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        KelvrinTools tools(1);
        frmFunnels window(app.path(), messages, shell);
        window.FitInto(available);
        frmConvert convert(app.path(), window.model(), PluginDetails(), FunnelTokens(), tools, messages,
                           shell);
        frmMyProducts help(app.file("myproducts"), shell);
        frmProductViewer viewer(app.file("productspro/webinarwealth/preview.html"));
        CustomProductWriter writer(app.path());
        frmCustomProduct product(writer, window.model(), messages, {"My Products: Demo Product"});
        for (QWidget* shown : std::initializer_list<QWidget*>{&window, &convert, &help, &viewer, &product}) {
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown));
            const QSize room = available.marginsRemoved(ScreenFit::kFrameAllowance).size();
            QVERIFY2(shown->width() <= room.width() && shown->height() <= room.height(),
                     qPrintable(QStringLiteral("%1 is %2x%3")
                                    .arg(shown->windowTitle())
                                    .arg(shown->width())
                                    .arg(shown->height())));
            const QStringList problems = textsThatDoNotFit(shown) + controlsThatOverlap(shown);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        }
        for (QPushButton* button : {window.cmdCreate, window.cmdOutput, window.Command1})
            QVERIFY2(window.rect().contains(QRect(button->mapTo(&window, QPoint()), button->size())),
                     qPrintable(button->text()));
        QVERIFY2(sideBarColourFaults(window).isEmpty(), qPrintable(sideBarColourFaults(window).join('\n')));
    }

    // Catches the check itself missing a text that is cut off.
    void aCutOffTextIsFound() {
        if (RunsUnderWine())
            QSKIP("Under Wine there are no Windows fonts to measure texts with");
        QWidget window;
        auto* label = new QLabel(QStringLiteral("A long text that no sixty pixels can hold"), &window);
        label->setObjectName(QStringLiteral("narrow"));
        label->setGeometry(0, 0, 60, 30);
        auto* button = new QPushButton(QStringLiteral("&Create Plugin"), &window);
        button->setGeometry(0, 40, 200, 30);
        window.show();
        QCOMPARE(textsThatDoNotFit(&window).size(), 1);
        button->resize(40, 30);
        QCOMPARE(textsThatDoNotFit(&window).size(), 2);
    }

    void placement_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QSize wanted(1352, 708);
        // Screens less their panels, in device-independent pixels.
        QTest::newRow("1920x1080 at 100%") << QRect(0, 0, 1920, 1040) << QRect(QPoint(284, 182), wanted);
        QTest::newRow("1366x768") << QRect(0, 0, 1366, 728) << QRect(8, 40, 1350, 680);
        QTest::newRow("1920x1080 at 150%") << QRect(0, 0, 1280, 693) << QRect(8, 40, 1264, 645);
        QTest::newRow("1920x1080 at 200%") << QRect(0, 0, 960, 520) << QRect(8, 40, 944, 472);
        QTest::newRow("second screen") << QRect(1920, 0, 1280, 693) << QRect(1928, 40, 1264, 645);
    }
    void placement() {
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        const QRect placed = ScreenFit::Place(QSize(1352, 708), available, ScreenFit::kFrameAllowance);
        QCOMPARE(placed, expected);
        QVERIFY(available.contains(placed.marginsAdded(ScreenFit::kFrameAllowance)));
    }

    // The diagram zooms to the window's width, keeping its proportions, before it scrolls; the
    // main buttons are in sight without scrolling at any size.
    void diagramZoomsToTheWindow_data() {
        QTest::addColumn<QRect>("available");
        // Screens less their panels, in device-independent pixels.
        QTest::newRow("1920x1080 at 100%") << QRect(0, 0, 1920, 1040);
        QTest::newRow("1366x768") << QRect(0, 0, 1366, 728);
        QTest::newRow("1920x1080 at 150%") << QRect(0, 0, 1280, 693);
        QTest::newRow("1366x768 at 150%") << QRect(0, 0, 911, 485);
        QTest::newRow("1920x1080 at 200%") << QRect(0, 0, 960, 520);
        QTest::newRow("1366x768 at 200%") << QRect(0, 0, 683, 344);
        QTest::newRow("narrower than readable text at 100%") << QRect(0, 0, 640, 400);
    }
    void diagramZoomsToTheWindow() {
        QFETCH(QRect, available);
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.FitInto(available);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.width() <= available.width() && window.height() <= available.height());
        // Text on the screen never smaller than 7 points; the diagram's text at most one size
        // smaller than the window's, and it scrolls across only where its text is that small.
        double smallest = 100;
        for (const QWidget* control : window.scrollArea->widget()->findChildren<QWidget*>())
            smallest = std::min(smallest, control->font().pointSizeF() * window.devicePixelRatioF());
        QVERIFY2(smallest >= 6.99, qPrintable(QString::number(smallest)));
        const QStringList faults = diagramFaults(window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        const bool scrollsAcross = window.scrollArea->horizontalScrollBar()->isVisible();
        const double diagramPoints = window.panel(0)->font().pointSizeF();
        if (scrollsAcross)
            QVERIFY2(diagramPoints < oneSizeBelow(window.font().pointSizeF()) + 0.01,
                     qPrintable(QString::number(diagramPoints)));
        const QSize canvas = window.scrollArea->widget()->size();
        if (!scrollsAcross)
            QVERIFY2(canvas.width() <= window.scrollArea->viewport()->width() &&
                         canvas.width() >= window.scrollArea->viewport()->width() - 2,
                     qPrintable(QStringLiteral("%1 across %2").arg(canvas.width()).arg(window.width())));
        // No gap between the diagram and the buttons: the side bar reaches down to them.
        QVERIFY2(window.findChild<QWidget*>("Picture1")->height() >= window.scrollArea->viewport()->height(),
                 qPrintable(QStringLiteral("%1 of %2")
                                .arg(window.findChild<QWidget*>("Picture1")->height())
                                .arg(window.scrollArea->viewport()->height())));
        // Proportions kept: the front end's panel is as much smaller as the whole diagram.
        const double zoom = canvas.width() / 1352.0;
        QVERIFY(qAbs(window.panel(0)->width() - 334 * zoom) <= 1.5);
        QVERIFY(qAbs(window.panel(0)->height() - 241 * zoom) <= 1.5);
        QVERIFY(qAbs(window.panel(0)->x() - 24 * zoom) <= 1.5);
        for (QPushButton* button : {window.cmdCreate, window.cmdOutput, window.Command1}) {
            const QRect shown(button->mapTo(&window, QPoint()), button->size());
            QVERIFY2(window.rect().contains(shown) && button->isVisible(), qPrintable(button->text()));
            const QStringList problems = textsThatDoNotFit(window.cmdBar);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        }
        QVERIFY2(sideBarColourFaults(window).isEmpty(), qPrintable(sideBarColourFaults(window).join('\n')));
        // Every part of the diagram is reachable by scrolling: the ranges cover the canvas, and
        // at their ends the diagram's far corner is in sight.
        QScrollBar* across = window.scrollArea->horizontalScrollBar();
        QScrollBar* down = window.scrollArea->verticalScrollBar();
        const QSize viewport = window.scrollArea->viewport()->size();
        QVERIFY(across->maximum() + viewport.width() >= canvas.width());
        QVERIFY(down->maximum() + viewport.height() >= canvas.height());
        across->setValue(across->maximum());
        down->setValue(down->maximum());
        const QRect corner(window.panel(4)->mapTo(window.scrollArea->viewport(), QPoint()),
                           window.panel(4)->size());
        QVERIFY2(window.scrollArea->viewport()->rect().contains(corner.bottomRight()),
                 qPrintable(QStringLiteral("%1,%2 outside %3x%4")
                                .arg(corner.right())
                                .arg(corner.bottom())
                                .arg(viewport.width())
                                .arg(viewport.height())));
    }

    // On the screen CTest gives (1366x768 and 1920x1080, each at 100%, 150% and 200%), the
    // whole funnel's arrows keep their heads and lines, and its text the window's size or one less.
    void diagramKeepsItsArrowsAndText() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        showAllItems(window);
        window.FitInto(QGuiApplication::primaryScreen()->availableGeometry());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int c = 0; c < FunnelModel::ConnectorCount; ++c)
            QVERIFY(window.imgFunnel(c)->isVisible());
        const QStringList faults = diagramFaults(window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // Every text a panel's warning shows, in every panel, on the screen CTest gives: the whole
    // sentence (only a path in it may lose its middle), wrapped within the label, which lies in
    // its panel clear of the address and the buttons.
    void everyProblemFitsItsPanel_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("says");
        // Typed into the address field, which is then left.
        QTest::addColumn<QString>("typed");
        QTest::newRow("no image") << "My Products: Noimage" << true << "has no sales page image" << QString();
        QTest::newRow("no address") << "My Products: Nodownload" << true << "has no download address"
                                    << QString();
        QTest::newRow("not a web address")
            << "My Products: Ftp" << true << "must be a web address" << QString();
        QTest::newRow("blank in the folder")
            << "My Products: Two Words" << true << "has a blank" << QString();
        QTest::newRow("folder gone") << "My Products: Gone" << true << "no longer in" << QString();
        QTest::newRow("https:// added") << "Traffic Magnet Pro" << true << "https:// was added"
                                        << "files.example.com/traffic.zip";
        QTest::newRow("image not an image") << "My Products: Fake" << false << "content matches" << QString();
#ifndef Q_OS_WIN
        QTest::newRow("a link in the folder") << "My Products: Linked" << false << "is refused" << QString();
        QTest::newRow("image a link") << "Webinar Wealth" << false << "symbolic link, which" << QString();
#endif
    }
    void everyProblemFitsItsPanel() {
        QFETCH(QString, product);
        QFETCH(bool, whole);
        QFETCH(QString, says);
        QFETCH(QString, typed);
        TestAppFolder app;
        writeProductsWithProblems(app);
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        QDir(app.file("myproducts/gone")).removeRecursively();
        showAllItems(window);
        // Picked before the window takes its size: the zoom fits the text again.
        for (int n = 0; n < FunnelModel::SlotCount; ++n) {
            FunnelItemPanel* panel = window.panel(n);
            panel->cboProduct->setCurrentIndex(panel->cboProduct->findText(product));
            emit panel->cboProduct->textActivated(product);
            if (!typed.isEmpty()) {
                panel->txtProductDownloadUrl->setText(typed);
                emit panel->txtProductDownloadUrl->editingFinished();
            }
        }
        window.FitInto(QGuiApplication::primaryScreen()->availableGeometry());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int n = 0; n < FunnelModel::SlotCount; ++n) {
            FunnelItemPanel* panel = window.panel(n);
            const QLabel* label = panel->lblProblem;
            const QString tip = label->toolTip();
            const QString sentence = typed.isEmpty() ? QChar(0x26A0) + QLatin1Char(' ') + tip : tip;
            const QString where = QStringLiteral("%1: \"%2\" in %3x%4")
                                      .arg(FunnelModel::Title(n), label->text())
                                      .arg(label->width())
                                      .arg(label->height());
            QVERIFY2(label->isVisible() && tip.contains(says), qPrintable(where));
            // Wine's stand-in fonts are wider than Windows': there the text is only kept within.
            if (!RunsUnderWine())
                QVERIFY2(whole ? label->text() == sentence
                               : isWholeOrShortenedInAPath(label->text(), sentence),
                         qPrintable(where));
            const QRect room = label->contentsRect();
            const QRect needed = label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text());
            QVERIFY2(needed.width() <= room.width() &&
                         label->heightForWidth(label->width()) <= label->height(),
                     qPrintable(where));
            QVERIFY2(panel->rect().contains(label->geometry()) &&
                         !label->geometry().intersects(panel->txtProductDownloadUrl->geometry()),
                     qPrintable(where));
            for (const QPushButton* button : {panel->cmdAddUpsell, panel->cmdAddDownsell})
                QVERIFY2(!button || !label->geometry().intersects(button->geometry()), qPrintable(where));
        }
    }

    // Panels of other sizes and places than the window's: beside, below, set off, barely apart.
    void arrowJoinsTwoPanels_data() {
        QTest::addColumn<QRectF>("from");
        QTest::addColumn<QRectF>("to");
        QTest::addColumn<double>("scale");
        QTest::newRow("beside") << QRectF(24, 72, 334, 241) << QRectF(387, 72, 334, 241) << 1.0;
        QTest::newRow("beside, set lower") << QRectF(0, 0, 100, 80) << QRectF(130, 50, 100, 80) << 0.9;
        QTest::newRow("below, set right") << QRectF(387, 72, 334, 241) << QRectF(600, 369, 280, 199) << 1.0;
        QTest::newRow("below, odd sizes") << QRectF(10.5, 3, 297, 214) << QRectF(10.5, 267, 297, 177) << 0.89;
        QTest::newRow("beside, a narrow gap") << QRectF(0, 0, 300, 200) << QRectF(315, 0, 300, 200) << 1.0;
    }
    void arrowJoinsTwoPanels() {
        QFETCH(QRectF, from);
        QFETCH(QRectF, to);
        QFETCH(double, scale);
        const ConnectorArrow arrow = ConnectorArrow::Between(from, to, scale);
        const QStringList faults = arrowFaults(arrow, from, to, arrow.Bounds().toAlignedRect());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        QVERIFY(ConnectorArrow::Between(from, from.translated(from.width() / 2, 0), scale).isEmpty());
    }

    void oneSizeSmaller_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<double>("zoom");
        QTest::newRow("9 pt") << 9.0 << 8.0 / 9;
        QTest::newRow("between sizes") << 10.5 << 10.0 / 10.5;
        QTest::newRow("past 12 the sizes step by 2") << 14.0 << 12.0 / 14;
        QTest::newRow("the smallest size") << 6.0 << 1.0;
        QTest::newRow("a font sized in pixels") << -1.0 << 1.0;
    }
    void oneSizeSmaller() {
        QFETCH(double, points);
        QFETCH(double, zoom);
        QCOMPARE(ScreenFit::OneSizeSmaller(points), zoom);
    }

    // The main buttons, when the zoomed strip is too narrow for them: beside the side bar's
    // colour, else from the left edge, else one below the other.
    void buttonRow_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QRect>>("placed");
        QTest::newRow("beside the side bar") << 500 << QList<QRect>{{206, 6, 100, 30}, {312, 6, 80, 30}};
        QTest::newRow("from the left edge") << 300 << QList<QRect>{{6, 6, 100, 30}, {112, 6, 80, 30}};
        QTest::newRow("one below the other") << 150 << QList<QRect>{{6, 6, 138, 30}, {6, 42, 138, 30}};
    }
    void buttonRow() {
        QFETCH(int, width);
        QFETCH(QList<QRect>, placed);
        QCOMPARE(ScreenFit::Row({QSize(100, 30), QSize(80, 30)}, width, 6, 200), placed);
    }

    void largeScreenShowsTheWholeDiagram() {
        TestAppFolder app;
        RecordingMessages messages;
        RecordingShell shell;
        frmFunnels window(app.path(), messages, shell);
        window.FitInto(QRect(0, 0, 1920, 1040));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.scrollArea->horizontalScrollBar()->isVisible());
        QVERIFY(!window.scrollArea->verticalScrollBar()->isVisible());
    }
};

QTEST_MAIN(tst_WindowFit)
#include "tst_windowfit.moc"
