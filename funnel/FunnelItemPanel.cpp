#include "funnel/FunnelItemPanel.h"

#include "funnel/FunnelModel.h"
#include "platform/LinkButton.h"
#include "platform/Twips.h"
#include "platform/VisibleFocus.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>

namespace {

QLabel* caption(const QString& text, const QRect& geometry, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label->setBuddy(buddy);
    return label;
}

} // namespace

FunnelItemPanel::FunnelItemPanel(int slot, QWidget* parent)
    : QFrame(parent)
    , m_slot(slot) {
    setObjectName(QStringLiteral("FunnelItem%1").arg(slot));
    const bool downsell = slot >= 3;
    PaintSurface(this, downsell ? QColor(128, 0, 128) : QColor(64, 0, 64));

    lblProductName = caption(FunnelModel::Title(slot), Twips(1125, 135, 3030, 375), nullptr, this);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    lblProductName->setAlignment(Qt::AlignCenter);
    QFont heading = lblProductName->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    heading.setBold(true);
    lblProductName->setFont(heading);

    // The "X" is a focusable button; its box is a little larger than the old label's so the
    // letter fits in any font, and keeps the old right edge.
    lblRemoveDownsell = new LinkButton(QStringLiteral("X"), Qt::cyan, Qt::AlignHCenter, this);
    lblRemoveDownsell->setObjectName(QStringLiteral("lblRemoveDownsell"));
    lblRemoveDownsell->setGeometry(Twips(4560, 90, 360, 330));
    QFont xFont = lblRemoveDownsell->font();
    xFont.setBold(true);
    xFont.setUnderline(false);
    lblRemoveDownsell->setFont(xFont);
    lblRemoveDownsell->setToolTip(QStringLiteral("Remove this item from the funnel"));
    lblRemoveDownsell->setAccessibleName(QStringLiteral("Remove %1").arg(FunnelModel::Title(slot)));
    lblRemoveDownsell->setVisible(slot != 0);

    lblPreview = new LinkButton(QStringLiteral("Preview"), Qt::white, Qt::AlignRight, this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    lblPreview->setGeometry(Twips(3375, 675, 1230, 285));
    // The panels repeat their controls, so no caption of theirs carries an Alt letter: Tab and
    // the Funnel menu's keys reach them, the same in every panel.

    cboProduct = new QComboBox(this);
    cboProduct->setObjectName(QStringLiteral("cboProduct"));
    cboProduct->setGeometry(Twips(450, 1035, 4155, 330));
    cboProduct->setMaxVisibleItems(24);
    cboProduct->setPlaceholderText(QStringLiteral("Choose a product\u2026"));
    // Product names have blanks: typing one searches on instead of opening the list.
    cboProduct->installEventFilter(this);

    const int left = slot == 3 ? 495 : 450;
    caption(slot == 0 ? QStringLiteral("Selected Product:") : QStringLiteral("Selected Product"),
            Twips(450, 675, 2000, 330), cboProduct, this);
    // The address sits close below the product list, and the buttons low in the panel, so that
    // the longest problem has its four lines between them. The caption's text rests on its field.
    txtProductDownloadUrl = new QLineEdit(this);
    txtProductDownloadUrl->setObjectName(QStringLiteral("txtProductDownloadUrl"));
    txtProductDownloadUrl->setGeometry(Twips(left, 1665, 4110, 420));
    QLabel* urlCaption = caption(QStringLiteral("Product Download Url:"), Twips(left, 1380, 2985, 270),
                                 txtProductDownloadUrl, this);
    urlCaption->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

    // Between the address and the buttons, wrapped; the whole text is its tooltip and is read
    // out with the fields it is about.
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setGeometry(Twips(left, 2100, 4110, 870));
    lblProblem->setWordWrap(true);
    lblProblem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProblem->setStyleSheet(QStringLiteral("color: #ffe14d; background: transparent;"));
    lblProblem->setAccessibleName(QStringLiteral("Problem with %1").arg(FunnelModel::Title(slot)));
    lblProblem->hide();
    // The zoom gives it another size and font: the text is fitted again.
    lblProblem->installEventFilter(this);

    QFont buttonFont = font();
    buttonFont.setPointSizeF(buttonFont.pointSizeF() * 8 / 9);
    if (slot == 0 || slot == 1) {
        cmdAddUpsell = new QPushButton(QStringLiteral("Add Upsell Page"), this);
        cmdAddUpsell->setObjectName(QStringLiteral("cmdAddUpsell"));
        cmdAddUpsell->setGeometry(slot == 0 ? Twips(1395, 3000, 2355, 510) : Twips(2520, 3000, 2040, 510));
        cmdAddUpsell->setFont(buttonFont);
        cmdAddUpsell->setAutoDefault(true);
        connect(cmdAddUpsell, &QPushButton::clicked, this, [this] { emit addUpsellClicked(m_slot); });
    }
    if (slot == 1 || slot == 2) {
        cmdAddDownsell = new QPushButton(QStringLiteral("Add Downsell Page"), this);
        cmdAddDownsell->setObjectName(QStringLiteral("cmdAddDownsell"));
        cmdAddDownsell->setGeometry(slot == 1 ? Twips(450, 3000, 2040, 510) : Twips(1395, 3000, 2355, 510));
        cmdAddDownsell->setFont(buttonFont);
        cmdAddDownsell->setAutoDefault(true);
        connect(cmdAddDownsell, &QPushButton::clicked, this, [this] { emit addDownsellClicked(m_slot); });
    }

    connect(cboProduct, &QComboBox::textActivated, this,
            [this](const QString& product) { emit productPicked(m_slot, product); });
    connect(txtProductDownloadUrl, &QLineEdit::textEdited, this, [this](const QString& address) {
        m_note.clear();
        emit downloadUrlEdited(m_slot, address);
    });
    // An address typed without its scheme is a web address all the same.
    connect(txtProductDownloadUrl, &QLineEdit::editingFinished, this, [this] {
        const QString completed = WithWebScheme(txtProductDownloadUrl->text());
        if (completed == txtProductDownloadUrl->text())
            return;
        m_note = QStringLiteral("\u2139 https:// was added to the address.");
        txtProductDownloadUrl->setText(completed);
        emit downloadUrlEdited(m_slot, completed);
    });
    connect(lblPreview, &QPushButton::clicked, this, [this] { emit previewClicked(m_slot); });
    connect(lblRemoveDownsell, &QPushButton::clicked, this, [this] { emit removeClicked(m_slot); });
}

bool FunnelItemPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblProblem && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        FitProblem();
    if (watched != cboProduct || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.size() != 1 || !text.at(0).isPrint() || (key->modifiers() & ~Qt::ShiftModifier) != Qt::NoModifier)
        return QFrame::eventFilter(watched, event);
    // A pause longer than the system's typing interval starts a new search, as in any list.
    if (!m_typing.isValid() || m_typing.elapsed() > QApplication::keyboardInputInterval())
        m_typed.clear();
    m_typing.start();
    if (m_typed.isEmpty() && text == QLatin1String(" "))
        return QFrame::eventFilter(watched, event);
    m_typed += text;
    const int index = ProductMatching(m_choices, m_typed);
    if (index >= 0 && index != cboProduct->currentIndex()) {
        cboProduct->setCurrentIndex(index);
        emit productPicked(m_slot, cboProduct->itemText(index));
    }
    return true;
}

int ProductMatching(const QStringList& products, const QString& typed) {
    for (int n = 0; n < products.size(); ++n)
        if (products.at(n).startsWith(typed, Qt::CaseInsensitive))
            return n;
    return -1;
}

void FunnelItemPanel::ShowState(const FunnelModel& model) {
    const FunnelSlot& state = model.Slot(m_slot);
    setVisible(state.shown);

    if (m_choices != model.ProductChoices()) {
        m_choices = model.ProductChoices();
        cboProduct->clear();
        cboProduct->addItems(m_choices);
    }
    const int index =
        state.cboProduct.isEmpty() ? -1 : cboProduct->findText(state.cboProduct, Qt::MatchExactly);
    if (cboProduct->currentIndex() != index)
        cboProduct->setCurrentIndex(index);
    if (txtProductDownloadUrl->text() != state.txtProductDownloadUrl)
        txtProductDownloadUrl->setText(state.txtProductDownloadUrl);
    // Out of editing, the field shows an address's end, where its file name is; the whole
    // address is its tooltip.
    if (!txtProductDownloadUrl->hasFocus())
        txtProductDownloadUrl->setCursorPosition(int(state.txtProductDownloadUrl.size()));
    txtProductDownloadUrl->setToolTip(state.txtProductDownloadUrl);
    if (cmdAddUpsell)
        cmdAddUpsell->setEnabled(model.IsAddUpsellEnabled(m_slot));
    if (cmdAddDownsell)
        cmdAddDownsell->setEnabled(model.IsAddDownsellEnabled(m_slot));
}

QString WithWebScheme(const QString& address) {
    const QString trimmed = address.trimmed();
    // A host name with a dot and nothing that could be another scheme or a blank.
    static const QRegularExpression bare(QStringLiteral("^[^\\s:/?#]+\\.[^\\s:/?#]+([/?#]\\S*)?$"));
    return bare.match(trimmed).hasMatch() ? QStringLiteral("https://") + trimmed : address;
}

void FunnelItemPanel::ShowProblem(const QString& problem) {
    // Without a problem, a note about what the panel did to the address shows in its place.
    const QString shown = problem.isEmpty() ? m_note : QChar(0x26A0) + QLatin1Char(' ') + problem;
    lblProblem->setVisible(!shown.isEmpty());
    lblProblem->setToolTip(problem.isEmpty() ? m_note : problem);
    lblProblem->setAccessibleDescription(problem);
    m_shownProblem = shown;
    FitProblem();
    for (QWidget* field : std::initializer_list<QWidget*>{cboProduct, txtProductDownloadUrl})
        field->setAccessibleDescription(problem);
}

void FunnelItemPanel::FitProblem() {
    lblProblem->setText(
        WrappedToFit(m_shownProblem, lblProblem->fontMetrics(), lblProblem->contentsRect().size()));
}

QString WrappedToFit(const QString& text, const QFontMetrics& metrics, const QSize& room) {
    const auto fits = [&](const QString& candidate) {
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, room.width(), QWIDGETSIZE_MAX), Qt::TextWordWrap, candidate);
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    if (fits(text))
        return text;
    // The largest `n` in [low, high] for which `fitsAt(n)`, or low - 1 for none; fitting grows
    // no easier as `n` grows.
    const auto largest = [](int low, int high, const auto& fitsAt) {
        int found = low - 1;
        while (low <= high) {
            const int middle = low + (high - low) / 2;
            if (fitsAt(middle)) {
                found = middle;
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        return found;
    };
    // A path or an address, the only long run without blanks, gives up its middle first: the
    // sentence around it and the file name at its end stay.
    static const QRegularExpression run(QStringLiteral("\\S{21,}"));
    QRegularExpressionMatch longest;
    for (auto runs = run.globalMatch(text); runs.hasNext();) {
        const QRegularExpressionMatch match = runs.next();
        if (!longest.hasMatch() || match.capturedLength() > longest.capturedLength())
            longest = match;
    }
    if (longest.hasMatch()) {
        const auto shortened = [&](int width) {
            return QString(text).replace(longest.capturedStart(), longest.capturedLength(),
                                         metrics.elidedText(longest.captured(), Qt::ElideMiddle, width));
        };
        const int width =
            largest(metrics.horizontalAdvance(QChar(0x2026)), metrics.horizontalAdvance(longest.captured()),
                    [&](int w) { return fits(shortened(w)); });
        if (width >= 0 && fits(shortened(width)))
            return shortened(width);
    }
    // Still too long for the room: as much as fits, cut off at the end.
    const int kept =
        largest(0, int(text.size()), [&](int n) { return fits(text.left(n).trimmed() + QChar(0x2026)); });
    return text.left(std::max(kept, 0)).trimmed() + QChar(0x2026);
}
