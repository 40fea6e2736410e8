#include "app/frmFunnels.h"

#include "app/FunnelChange.h"
#include "app/frmCustomProduct.h"
#include "app/frmMyProducts.h"
#include "catalogue/CustomProductWriter.h"
#include "funnel/ConnectorPicture.h"
#include "funnel/FunnelItemPanel.h"
#include "funnel/frmProductViewer.h"
#include "generate/FunnelChecks.h"
#include "generate/FunnelGenerator.h"
#include "platform/LinkButton.h"
#include "platform/Messages.h"
#include "platform/ScreenFit.h"
#include "platform/Shell.h"
#include "platform/Twips.h"
#include "platform/WidgetZoom.h"
#include "plugin/PluginDetails.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kProductName = QStringLiteral("Veltrano");
const QString kNameSuffix = QStringLiteral(" ");
const QString kVersion = QStringLiteral("2.6");
const QString kLicence = QStringLiteral("Proprietary software. All rights reserved.");

// A funnel file dropped on the window: one local file.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    return data->urls().first().toLocalFile();
}

// Below its diagram the window keeps a strip with the main buttons, which never scrolls away.
constexpr int kDiagramHeight = 9000;
constexpr int kBarSpacing = 6;

const QString kFileFilter = QStringLiteral("Funnel files (*.json *.veltrano);;All files (*)");

} // namespace

frmFunnels::frmFunnels(AppRoots roots, Messages& messages, Shell& shell, QSettings* settings, QWidget* parent)
    : QWidget(parent)
    , m_roots(std::move(roots))
    , m_messages(messages)
    , m_shell(shell)
    , m_catalogue(m_roots)
    , m_document(m_catalogue, settings) {
    setObjectName(QStringLiteral("frmFunnels"));
    setAcceptDrops(true);

    // The funnel diagram keeps its layout below the menu bar and zooms to the window's width; it
    // scrolls only where even the smallest readable zoom is wider. Wide enough for the upsell #2
    // column. The main buttons below it stay in sight at every size.
    auto* area = new QWidget;
    area->setObjectName(QStringLiteral("canvas"));
    area->setFixedSize(Twips(0, 0, 3570 + 16710, kDiagramHeight).size());
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setFrameShape(QFrame::NoFrame);
    // Not a Tab stop of its own, where it would show no focus: it scrolls to the control that
    // Tab reaches.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->setWidget(area);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(scrollArea);
    CreateFileMenu();
    CreateEditMenu();
    CreateFunnelMenu();
    CreateHelpMenu();
    layout->setMenuBar(menuBar);

    auto* Picture1 = new QWidget(area);
    m_sideBar = Picture1;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips(0, 0, 3570, kDiagramHeight));
    Picture1->setAutoFillBackground(true);
    QPalette sideBar = Picture1->palette();
    sideBar.setColor(QPalette::Window, QColor(64, 0, 64));
    Picture1->setPalette(sideBar);
    lblAppName = new QLabel(Picture1);
    lblAppName->setObjectName(QStringLiteral("lblAppName"));
    lblAppName->setGeometry(Twips(225, 1620, 2895, 465));
    // A font, not a style sheet's size, so that the zoom reaches it.
    lblAppName->setStyleSheet(QStringLiteral("color: white;"));
    QFont appNameFont = lblAppName->font();
    appNameFont.setBold(true);
    appNameFont.setPointSize(16);
    lblAppName->setFont(appNameFont);

    auto* picFunnelDiagram = new QWidget(area);
    m_diagramArea = picFunnelDiagram;
    picFunnelDiagram->setObjectName(QStringLiteral("picFunnelDiagram"));
    picFunnelDiagram->setGeometry(Twips(3570, 0, 16710, kDiagramHeight));
    picFunnelDiagram->setAutoFillBackground(true);
    QPalette diagram = picFunnelDiagram->palette();
    diagram.setColor(QPalette::Window, Qt::white);
    picFunnelDiagram->setPalette(diagram);

    auto* Label1 = new QLabel(QStringLiteral("My Sales Funnel:"), picFunnelDiagram);
    Label1->setGeometry(Twips(360, 315, 7170, 465));
    QFont headingFont = Label1->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 4 / 3);
    headingFont.setBold(true);
    Label1->setFont(headingFont);
    lblMyProducts = new LinkButton(QStringLiteral("&My Products"), Qt::blue, Qt::AlignLeft, picFunnelDiagram);
    lblMyProducts->setObjectName(QStringLiteral("lblMyProducts"));
    QFont linkFont = lblMyProducts->font();
    linkFont.setBold(true);
    lblMyProducts->setFont(linkFont);
    lblMyProducts->setGeometry(Twips(13545, 405, 2580, 420));
    lblNewProduct =
        new LinkButton(QStringLiteral("&New Product..."), Qt::blue, Qt::AlignRight, picFunnelDiagram);
    lblNewProduct->setObjectName(QStringLiteral("lblNewProduct"));
    lblNewProduct->setFont(linkFont);
    lblNewProduct->setGeometry(Twips(10440, 405, 2880, 420));

    static constexpr std::array<std::array<int, 4>, FunnelModel::SlotCount> panelGeometry{{
        {360, 1080, 5010, 3615},
        {5805, 1080, 5010, 3615},
        {11205, 1080, 5010, 3615},
        {5805, 5535, 5010, 2985},
        {11205, 5535, 5010, 2985},
    }};
    for (int n = 0; n < FunnelModel::SlotCount; ++n) {
        auto* itemPanel = new FunnelItemPanel(n, picFunnelDiagram);
        const auto& g = panelGeometry[size_t(n)];
        itemPanel->setGeometry(Twips(g[0], g[1], g[2], g[3]));
        m_panels[size_t(n)] = itemPanel;
        connect(itemPanel, &FunnelItemPanel::productPicked, this, &frmFunnels::cboProduct_Click);
        connect(itemPanel, &FunnelItemPanel::downloadUrlEdited, this,
                &frmFunnels::txtProductDownloadUrl_Change);
        connect(itemPanel, &FunnelItemPanel::previewClicked, this, &frmFunnels::lblPreview_Click);
        connect(itemPanel, &FunnelItemPanel::removeClicked, this, &frmFunnels::lblRemoveDownsell_Click);
        connect(itemPanel, &FunnelItemPanel::addUpsellClicked, this, &frmFunnels::cmdAddUpsell_Click);
        connect(itemPanel, &FunnelItemPanel::addDownsellClicked, this, &frmFunnels::cmdAddDownsell_Click);
    }
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c) {
        auto* connector = new ConnectorPicture(
            c < 2 ? ConnectorPicture::Kind::Upsell : ConnectorPicture::Kind::Downsell, picFunnelDiagram);
        connector->setObjectName(QStringLiteral("imgFunnel%1").arg(c));
        m_connectors[size_t(c)] = connector;
    }

    // The strip below the diagram, with the side bar's colour on its left, as one picture.
    cmdBar = new QWidget(this);
    cmdBar->setObjectName(QStringLiteral("cmdBar"));
    cmdBar->setAutoFillBackground(true);
    cmdBar->setPalette(diagram);
    cmdBar->resize(area->width(), Twips(0, 0, 0, 10335 - kDiagramHeight).height());
    auto* Picture2 = new QWidget(cmdBar);
    m_barSideBar = Picture2;
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(Twips(0, 0, 3570, 10335 - kDiagramHeight));
    Picture2->setAutoFillBackground(true);
    Picture2->setPalette(sideBar);
    const int barTop = 9225 - kDiagramHeight;
    cmdCreate = new QPushButton(QStringLiteral("&Convert Sales Funnel into a WordPress Plugin"), cmdBar);
    cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    cmdCreate->setGeometry(Twips(3570 + 1170, barTop, 5100, 825));
    cmdOutput = new QPushButton(QStringLiteral("&Open Output Folder"), cmdBar);
    cmdOutput->setObjectName(QStringLiteral("cmdOutput"));
    cmdOutput->setGeometry(Twips(3570 + 6390, barTop, 4515, 825));
    Command1 = new QPushButton(QStringLiteral("C&lose App"), cmdBar);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips(3570 + 11025, barTop, 4515, 825));
    layout->addWidget(cmdBar);

    // Enter presses a button that has the focus, as Space does.
    for (QPushButton* button : {cmdCreate, cmdOutput, Command1})
        button->setAutoDefault(true);
    connect(cmdCreate, &QPushButton::clicked, this, &frmFunnels::cmdCreate_Click);
    connect(cmdOutput, &QPushButton::clicked, this, &frmFunnels::cmdOutput_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFunnels::Command1_Click);
    connect(lblMyProducts, &QPushButton::clicked, this, &frmFunnels::lblMyProducts_Click);
    connect(lblNewProduct, &QPushButton::clicked, this, &frmFunnels::mnuNewProduct_Click);
    connect(&model(), &FunnelModel::changed, this, &frmFunnels::ShowModel);
    connect(&m_document, &FunnelDocument::stateChanged, this, &frmFunnels::ShowDocumentState);

    m_diagramZoom = std::make_unique<WidgetZoom>(area);
    m_barZoom = std::make_unique<WidgetZoom>(cmdBar);
    m_barBase = cmdBar->size();
    Form_Load();
    FitInto(QRect());
    // Work begins with the front end's product.
    panel(0)->cboProduct->setFocus(Qt::OtherFocusReason);
}

frmFunnels::~frmFunnels() {
    // The details window is a window of its own (it outlives "Close App") but uses this window's
    // funnel: it goes when this window goes.
    delete m_convert;
    // The panels go before this object stops receiving signals, and the focus moves as they go.
    disconnect(m_focusFollower);
}

void frmFunnels::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Zoom();
}

void frmFunnels::Zoom() {
    const QSize diagram = m_diagramZoom->BaseSize();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scrollArea);
    // The diagram's text, the window's size at first, shrinks by one size at most to fit, so one
    // window never mixes two sizes of text; a narrower window scrolls.
    const double floor = ScreenFit::OneSizeSmaller(font().pointSizeF());
    const int menu = menuBar->sizeHint().height();
    double zoom = 1.0;
    // Twice: the strip's height follows the zoom, and the room left for the diagram with it.
    for (int pass = 0; pass < 2; ++pass)
        zoom = ScreenFit::Zoom(
            QSize(width(), height() - menu - WidgetZoom::Scaled(QRect(QPoint(), m_barBase), zoom).height()),
            diagram, floor, extent);
    m_diagramZoom->Apply(zoom);
    // The arrows join the panels where the zoom put them, so they keep their heads and lines.
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c)
        m_connectors[size_t(c)]->Place(ConnectorArrow::Between(panel(FunnelModel::Parent(c + 1))->geometry(),
                                                               panel(c + 1)->geometry(), zoom));
    const QSize scaled = WidgetZoom::Scaled(QRect(QPoint(), diagram), zoom).size();
    m_barZoom->Apply(zoom);
    const QList<QPushButton*> buttons{cmdCreate, cmdOutput, Command1};
    int barHeight = WidgetZoom::Scaled(QRect(QPoint(), m_barBase), zoom).height();
    if (Command1->geometry().right() >= width()) {
        // Narrower than the smallest zoom: the buttons in a row at their own size, beside the side
        // bar's colour where there is room, or one below the other where even that is too wide.
        const QList<QRect> placed =
            ScreenFit::Row({cmdCreate->sizeHint(), cmdOutput->sizeHint(), Command1->sizeHint()}, width(),
                           kBarSpacing, m_sideBar->width());
        barHeight = 0;
        for (int i = 0; i < buttons.size(); ++i) {
            buttons[i]->setGeometry(placed[i]);
            barHeight = std::max(barHeight, placed[i].bottom() + 1 + kBarSpacing);
        }
    }
    // Where the buttons can't stand beside the side bar's colour, the strip is white behind them.
    m_barSideBar->setVisible(std::none_of(buttons.begin(), buttons.end(), [this](const QPushButton* button) {
        return button->geometry().intersects(m_barSideBar->geometry());
    }));
    cmdBar->setFixedHeight(barHeight);
    // A window taller than the zoomed diagram shows more of the side bar and the white area
    // above the buttons, not a grey gap.
    const int room = height() - menu - barHeight - (scaled.width() > width() ? extent : 0);
    const int canvasHeight = std::max(scaled.height(), room);
    scrollArea->widget()->setFixedSize(scaled.width(), canvasHeight);
    for (QWidget* background : {m_sideBar, m_diagramArea})
        background->resize(background->width(), canvasHeight);
}

void frmFunnels::FitInto(const QRect& available) {
    const QSize whole =
        m_diagramZoom->BaseSize() + QSize(0, m_barBase.height() + menuBar->sizeHint().height());
    if (available.isEmpty()) {
        resize(whole);
        return;
    }
    setGeometry(ScreenFit::Place(whole, available, ScreenFit::kFrameAllowance));
}

void frmFunnels::CreateFunnelMenu() {
    mnuFunnel = menuBar->addMenu(QStringLiteral("F&unnel"));
    mnuFunnel->setObjectName(QStringLiteral("mnuFunnel"));
    for (int n = 0; n < FunnelModel::SlotCount; ++n) {
        mnuGoTo[size_t(n)] =
            mnuFunnel->addAction(QStringLiteral("&%1 %2").arg(n + 1).arg(FunnelModel::Title(n)), this,
                                 [this, n] { panel(n)->cboProduct->setFocus(Qt::ShortcutFocusReason); });
        mnuGoTo[size_t(n)]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + n)));
    }
    mnuFunnel->addSeparator();
    // Ctrl+Shift: the text fields keep Ctrl and a letter for their own editing keys.
    mnuAddUpsell = mnuFunnel->addAction(QStringLiteral("Add &Upsell Page"), this,
                                        [this] { cmdAddUpsell_Click(m_currentItem); });
    mnuAddUpsell->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    mnuAddDownsell = mnuFunnel->addAction(QStringLiteral("Add &Downsell Page"), this,
                                          [this] { cmdAddDownsell_Click(m_currentItem); });
    mnuAddDownsell->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    mnuPreview = mnuFunnel->addAction(QStringLiteral("&Preview Product"), this,
                                      [this] { lblPreview_Click(m_currentItem); });
    mnuPreview->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    mnuRemove = mnuFunnel->addAction(QStringLiteral("&Remove Item"), this,
                                     [this] { lblRemoveDownsell_Click(m_currentItem); });
    mnuRemove->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X));
    mnuFunnel->addSeparator();
    mnuNewProduct =
        mnuFunnel->addAction(QStringLiteral("&New Product..."), this, &frmFunnels::mnuNewProduct_Click);
    mnuEditProduct = mnuFunnel->addAction(QStringLiteral("&Edit or Remove Product..."), this,
                                          &frmFunnels::mnuEditProduct_Click);
    for (QAction* action : mnuFunnel->actions())
        action->setShortcutContext(Qt::WindowShortcut);
    m_focusFollower = connect(qApp, &QApplication::focusChanged, this,
                              [this](QWidget*, QWidget* now) { FollowFocus(now); });
}

void frmFunnels::FollowFocus(QWidget* now) {
    for (int n = 0; n < FunnelModel::SlotCount; ++n)
        if (now && m_panels[size_t(n)] && m_panels[size_t(n)]->isAncestorOf(now) && m_currentItem != n) {
            m_currentItem = n;
            ShowFunnelMenu();
        }
}

void frmFunnels::ShowFunnelMenu() {
    // A removed item hands the menu to its parent, as it hands over the focus.
    while (!model().IsPresent(m_currentItem) && m_currentItem != 0)
        m_currentItem = FunnelModel::Parent(m_currentItem);
    for (int n = 0; n < FunnelModel::SlotCount; ++n)
        mnuGoTo[size_t(n)]->setEnabled(model().IsPresent(n));
    const QString title = FunnelModel::Title(m_currentItem);
    mnuAddUpsell->setEnabled(model().IsPresent(m_currentItem) && model().IsAddUpsellEnabled(m_currentItem));
    mnuAddDownsell->setEnabled(model().IsPresent(m_currentItem) &&
                               model().IsAddDownsellEnabled(m_currentItem));
    mnuPreview->setText(QStringLiteral("&Preview Product of %1").arg(title));
    mnuRemove->setText(QStringLiteral("&Remove %1").arg(title));
    mnuRemove->setEnabled(m_currentItem != 0);
    mnuEditProduct->setEnabled(!m_catalogue.lstMyProductsFolder().isEmpty());
}

void frmFunnels::CreateHelpMenu() {
    mnuHelp = menuBar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpMyProducts =
        mnuHelp->addAction(QStringLiteral("&My Products Help"), this, &frmFunnels::lblMyProducts_Click);
    // A fixed key: the platform's standard binding is empty where no desktop theme is loaded.
    mnuHelpMyProducts->setShortcut(QKeySequence(Qt::Key_F1));
    mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About Veltrano"), this, &frmFunnels::mnuAbout_Click);
}

void frmFunnels::mnuAbout_Click() {
    QMessageBox::about(this, QStringLiteral("About Veltrano"),
                       QStringLiteral("<h3>%1</h3><p>Turns a sales funnel into a WordPress plugin.</p>"
                                      "<p>Version %2</p><p>%3</p>")
                           .arg(Caption().trimmed(), kVersion, kLicence));
}

void frmFunnels::CreateEditMenu() {
    m_undo = new QUndoStack(this);
    mnuEdit = menuBar->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuUndo = m_undo->createUndoAction(this, QStringLiteral("&Undo"));
    mnuUndo->setShortcut(QKeySequence::Undo);
    mnuRedo = m_undo->createRedoAction(this, QStringLiteral("&Redo"));
    mnuRedo->setShortcut(QKeySequence::Redo);
    for (QAction* action : {mnuUndo, mnuRedo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        mnuEdit->addAction(action);
    }
}

template <typename Change> void frmFunnels::Record(const QString& text, Change change, int mergeKey) {
    FunnelModel::State before = model().Save();
    change();
    if (!(model().Save() == before))
        m_undo->push(new FunnelChange(model(), std::move(before), text, mergeKey));
}

void frmFunnels::CreateFileMenu() {
    menuBar = new QMenuBar(this);
    mnuFile = menuBar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuNew = mnuFile->addAction(QStringLiteral("&New"), this, &frmFunnels::mnuNew_Click);
    mnuNew->setShortcut(QKeySequence::New);
    mnuOpen = mnuFile->addAction(QStringLiteral("&Open..."), this, &frmFunnels::mnuOpen_Click);
    mnuOpen->setShortcut(QKeySequence::Open);
    mnuRecent = mnuFile->addMenu(QStringLiteral("Open &Recent"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    mnuFile->addSeparator();
    mnuSave = mnuFile->addAction(QStringLiteral("&Save"), this, &frmFunnels::mnuSave_Click);
    mnuSave->setShortcut(QKeySequence::Save);
    mnuSaveAs = mnuFile->addAction(QStringLiteral("Save &As..."), this, &frmFunnels::mnuSaveAs_Click);
    mnuSaveAs->setShortcut(QKeySequence::SaveAs);
    mnuFile->addSeparator();
    // Quitting closes the details window too, once this window may close.
    mnuQuit = mnuFile->addAction(QStringLiteral("&Quit"), this, [this] {
        if (close())
            QApplication::closeAllWindows();
    });
    mnuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : {mnuNew, mnuOpen, mnuSave, mnuSaveAs, mnuQuit})
        action->setShortcutContext(Qt::WindowShortcut);
}

void frmFunnels::ShowDocumentState() {
    setWindowTitle(m_document.Caption(Caption()));
    mnuRecent->clear();
    const QStringList recent = m_document.recentFiles().Files();
    // The entries' handlers run queued: they rebuild this menu, which deletes the entries.
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        // The number is the entry's mnemonic; the path tells files of the same name apart.
        QString text = path;
        QAction* entry = mnuRecent->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(text.replace(QLatin1Char('&'), QStringLiteral("&&"))));
        entry->setData(path);
        connect(
            entry, &QAction::triggered, this, [this, path] { OpenFile(path); }, Qt::QueuedConnection);
    }
    if (!recent.isEmpty()) {
        mnuRecent->addSeparator();
        QAction* clear = mnuRecent->addAction(QStringLiteral("&Clear List"));
        connect(
            clear, &QAction::triggered, this,
            [this] {
                m_document.recentFiles().Clear();
                ShowDocumentState();
            },
            Qt::QueuedConnection);
    }
    mnuRecent->setEnabled(!recent.isEmpty());
}

bool frmFunnels::RefuseWhileBuilding() {
    if (!m_convert || !m_convert->IsBuilding())
        return false;
    m_messages.Show(QStringLiteral("Important"),
                    QStringLiteral("A plugin is being built from this funnel. Wait until \"Create "
                                   "Plugin\" has finished, then try again."));
    return true;
}

bool frmFunnels::MayReplaceFunnel() {
    // Quitting now would leave the plugin half packed; the build ends in a moment.
    if (RefuseWhileBuilding())
        return false;
    if (!m_document.isModified())
        return true;
    const QString name = m_document.filePath().isEmpty() ? QStringLiteral("this funnel")
                                                         : QFileInfo(m_document.filePath()).fileName();
    switch (m_messages.AskToSave(QStringLiteral("Save Funnel"),
                                 QStringLiteral("Do you want to save the changes to %1?").arg(name))) {
    case Messages::SaveAnswer::Save:
        return mnuSave_Click();
    case Messages::SaveAnswer::Discard:
        return true;
    case Messages::SaveAnswer::Cancel:
        break;
    }
    return false;
}

void frmFunnels::CloseConvertWindow() {
    // Its fields belong to the funnel that is being replaced.
    if (m_convert)
        m_convert->close();
}

void frmFunnels::mnuNew_Click() {
    if (!MayReplaceFunnel())
        return;
    CloseConvertWindow();
    m_document.New();
    m_undo->clear();
}

void frmFunnels::mnuOpen_Click() {
    const QString folder =
        m_document.filePath().isEmpty() ? QDir::homePath() : QFileInfo(m_document.filePath()).path();
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open Funnel"), folder, kFileFilter);
    if (!path.isEmpty())
        OpenFile(path);
}

bool frmFunnels::OpenFile(const QString& path) {
    if (!MayReplaceFunnel())
        return false;
    const QString problem = m_document.Open(path);
    if (!problem.isEmpty()) {
        m_messages.Show(QStringLiteral("Open Funnel"), problem, Messages::Icon::Warning);
        return false;
    }
    CloseConvertWindow();
    m_undo->clear();
    return true;
}

bool frmFunnels::mnuSave_Click() {
    if (m_document.filePath().isEmpty())
        return mnuSaveAs_Click();
    return SaveFile(m_document.filePath());
}

bool frmFunnels::mnuSaveAs_Click() {
    // A funnel without a file is proposed under its plugin's name.
    const QString name = ArchiveName(m_document.details().name);
    const QString suggested =
        m_document.filePath().isEmpty()
            ? QDir::home().filePath((ArchiveNameProblem(name).isEmpty() ? name : QStringLiteral("funnel")) +
                                    QStringLiteral(".json"))
            : m_document.filePath();
    QFileDialog dialog(this, QStringLiteral("Save Funnel As"), suggested, kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix before it asks about replacing a file of that name.
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return SaveFile(dialog.selectedFiles().first());
}

bool frmFunnels::SaveFile(const QString& path) {
    const QString problem = m_document.SaveAs(path);
    if (!problem.isEmpty()) {
        m_messages.Show(QStringLiteral("Save Funnel"), problem, Messages::Icon::Warning);
        return false;
    }
    return true;
}

void frmFunnels::closeEvent(QCloseEvent* event) {
    if (!MayReplaceFunnel()) {
        event->ignore();
        return;
    }
    CloseConvertWindow();
    event->accept();
}

void frmFunnels::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmFunnels::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Asking to save inside the drop would hold up the program the file came from.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenFile(path); }, Qt::QueuedConnection);
}

QString frmFunnels::Caption() {
    return kProductName + QStringLiteral(" Pro ") + kVersion + kNameSuffix;
}

void frmFunnels::Form_Load() {
    lblAppName->setText(kProductName);
    ShowDocumentState();

    const QString problem = m_roots.PrepareUserFolders();
    const QString myProducts = m_roots.MyProducts();
    if (!problem.isEmpty())
        m_messages.Show(QStringLiteral("Important"), problem, Messages::Icon::Warning);
    else if (!KelvrinTools::PathExists(myProducts, true) && !QDir().mkdir(myProducts))
        m_messages.Show(QStringLiteral("Important"),
                        QStringLiteral("The folder for your own products could not be created:\n%1\n\n"
                                       "Veltrano goes on with the built-in products only.")
                            .arg(myProducts),
                        Messages::Icon::Warning);
    FillProductLists();
    ShowModel();
}

void frmFunnels::FillProductLists() {
    model().SetProductChoices(m_catalogue.FillProductLists());
}

void frmFunnels::ShowModel() {
    for (int n = 0; n < FunnelModel::SlotCount; ++n) {
        m_panels[size_t(n)]->ShowState(model());
        // A product's problem shows when it is picked, not only once the details are typed.
        const bool picked = model().IsPresent(n) && !model().Slot(n).cboProduct.isEmpty();
        m_panels[size_t(n)]->ShowProblem(
            picked ? ItemRefusal(model(), n, m_catalogue, QStringLiteral("this product")) : QString());
    }
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c)
        m_connectors[size_t(c)]->setVisible(model().IsConnectorShown(c));
    ShowFunnelMenu();
}

void frmFunnels::Command1_Click() {
    close();
}

void frmFunnels::cmdOutput_Click() {
    // The plugin just built is the one the user looks for.
    const bool shown = QFileInfo(m_lastArchive).isFile() ? m_shell.ShowFile(m_lastArchive)
                                                         : m_shell.OpenFolder(m_roots.Output());
    if (!shown)
        m_messages.Show(
            QStringLiteral("Important"),
            QStringLiteral("No file manager could show the output folder. Your plugins are in:\n%1")
                .arg(QDir::toNativeSeparators(m_roots.Output())));
}

void frmFunnels::lblMyProducts_Click() {
    frmMyProducts help(m_roots.MyProducts(), m_shell, this);
    help.exec();
}

void frmFunnels::mnuNewProduct_Click() {
    ShowProductWindow({});
}

void frmFunnels::mnuEditProduct_Click() {
    QStringList products;
    for (const QString& product : model().ProductChoices())
        if (ProductCatalogue::KindOf(product) == ProductKind::Custom)
            products << product;
    ShowProductWindow(products);
}

void frmFunnels::ShowProductWindow(const QStringList& products) {
    // The build reads the products' folders as it goes.
    if (RefuseWhileBuilding())
        return;
    CustomProductWriter writer(m_roots);
    frmCustomProduct window(writer, model(), m_messages, products, model().Slot(m_currentItem).cboProduct,
                            this);
    window.exec();
    if (window.outcome() == frmCustomProduct::Outcome::None)
        return;
    FillProductLists();
    if (window.outcome() == frmCustomProduct::Outcome::Created)
        cboProduct_Click(m_currentItem, window.after());
    else if (window.outcome() == frmCustomProduct::Outcome::Changed)
        Record(QStringLiteral("Change Product"),
               [&] { model().FollowProduct(window.before(), window.after(), m_catalogue); });
}

void frmFunnels::cmdCreate_Click() {
    if (!FunnelGenerator::CheckFunnelItems(model())) {
        m_messages.Show(
            QStringLiteral("Missing Info"),
            QStringLiteral(
                "Please verify that you've selected a product for each one of your funnel items."));
        return;
    }
    QStringList problems;
    for (int n : model().PresentSlots())
        if (const QString problem = ItemRefusal(model(), n, m_catalogue); !problem.isEmpty())
            problems << problem;
    if (!problems.isEmpty()) {
        m_messages.Show(QStringLiteral("Important"), problems.join(QStringLiteral("\n\n")));
        return;
    }
    if (!m_convert) {
        // No parent: the details window stays open when "Close App" closes this one, and the
        // program runs until its last window is closed.
        m_convert = new frmConvert(m_roots, model(), m_document.details(), m_document.tokens(), m_tools,
                                   m_messages, m_shell);
        m_convert->setAttribute(Qt::WA_DeleteOnClose);
        m_convert->move(frameGeometry().center() - m_convert->rect().center());
        connect(m_convert, &frmConvert::built, &m_document, &FunnelDocument::KeepBuild);
        connect(m_convert, &frmConvert::built, this,
                [this](const PluginDetails&, const FunnelTokens&, const QString& archive) {
                    m_lastArchive = archive;
                });
        m_convert->SetFunnelKeeper([this](const QString& archive) { return m_document.KeepBeside(archive); });
    }
    m_convert->show();
    m_convert->raise();
    m_convert->activateWindow();
}

void frmFunnels::cboProduct_Click(int Index, const QString& product) {
    Record(QStringLiteral("Choose Product"), [&] {
        model().SetProductText(Index, product);
        SelectProduct(Index);
    });
}

void frmFunnels::txtProductDownloadUrl_Change(int Index, const QString& address) {
    // One key press after another is one edit of the address.
    Record(
        QStringLiteral("Edit Download Address"), [&] { model().SetDownloadUrl(Index, address); }, Index);
}

void frmFunnels::SelectProduct(int Index) {
    model().SelectProduct(Index, m_catalogue);
}

void frmFunnels::lblPreview_Click(int Index) {
    const QString product = model().Slot(Index).cboProduct;
    if (product.isEmpty()) {
        m_messages.Show(QStringLiteral("Missing Info"), QStringLiteral("Please select a product first."));
        return;
    }
    if (product.contains(QLatin1String("Products:"))) {
        m_messages.Show(QStringLiteral("Preview Not Available."),
                        QStringLiteral("Preview not available for custom products."));
        return;
    }
    SelectProduct(Index);
    model().lblItemPreview = QString::number(Index);
    frmProductViewer viewer(model().Slot(model().lblItemPreview.toInt()).txtSalesPageHTML, this);
    viewer.exec();
}

void frmFunnels::cmdAddUpsell_Click(int Index) {
    bool added = false;
    Record(QStringLiteral("Add Upsell Page"), [&] { added = model().AddUpsell(Index); });
    // The next key press goes to the new item, never to another item's "X".
    if (added)
        panel(Index + 1)->cboProduct->setFocus(Qt::TabFocusReason);
}

void frmFunnels::cmdAddDownsell_Click(int Index) {
    bool added = false;
    Record(QStringLiteral("Add Downsell Page"), [&] { added = model().AddDownsell(Index); });
    if (added)
        panel(Index + 2)->cboProduct->setFocus(Qt::TabFocusReason);
}

void frmFunnels::lblRemoveDownsell_Click(int Index) {
    FunnelModel::RemoveResult result = FunnelModel::RemoveResult::NotRemovable;
    Record(QStringLiteral("Remove %1").arg(FunnelModel::Title(Index)),
           [&] { result = model().RemoveItem(Index); });
    if (result == FunnelModel::RemoveResult::Removed)
        panel(FunnelModel::Parent(Index))->cboProduct->setFocus(Qt::TabFocusReason);
    else if (result == FunnelModel::RemoveResult::HasChildren)
        m_messages.Show(QStringLiteral("Ooops"),
                        QStringLiteral("The selected funnel item can' be deleted (has child items)"));
}
