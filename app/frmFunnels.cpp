#include "app/frmFunnels.h"

#include "app/frmMyProducts.h"
#include "funnel/ConnectorPicture.h"
#include "funnel/FunnelItemPanel.h"
#include "funnel/frmProductViewer.h"
#include "generate/FunnelGenerator.h"
#include "platform/Messages.h"
#include "platform/Shell.h"
#include "platform/Twips.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kProductName = QStringLiteral("Veltrano");
const QString kNameSuffix = QStringLiteral(" ");
const QString kVersion = QStringLiteral("2.6");

} // namespace

frmFunnels::frmFunnels(QString applicationFolder, Messages& messages, Shell& shell, QWidget* parent)
    : QWidget(parent)
    , m_applicationFolder(std::move(applicationFolder))
    , m_messages(messages)
    , m_shell(shell)
    , m_catalogue(m_applicationFolder) {
    setObjectName(QStringLiteral("frmFunnels"));
    // Wide enough for the whole funnel diagram: the upsell #2 column would otherwise be cut off.
    setFixedSize(Twips(0, 0, 3570 + 16710, 10335).size());
    setFont(QFont(QStringLiteral("Verdana"), 9));

    auto* Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips(0, 0, 3570, 10335));
    Picture1->setAutoFillBackground(true);
    QPalette sideBar = Picture1->palette();
    sideBar.setColor(QPalette::Window, QColor(64, 0, 64));
    Picture1->setPalette(sideBar);
    lblAppName = new QLabel(Picture1);
    lblAppName->setObjectName(QStringLiteral("lblAppName"));
    lblAppName->setGeometry(Twips(225, 1620, 2895, 465));
    lblAppName->setStyleSheet(QStringLiteral("color: white; font-weight: bold; font-size: 16pt;"));

    auto* picFunnelDiagram = new QWidget(this);
    picFunnelDiagram->setObjectName(QStringLiteral("picFunnelDiagram"));
    picFunnelDiagram->setGeometry(Twips(3570, 0, 16710, 10335));
    picFunnelDiagram->setAutoFillBackground(true);
    QPalette diagram = picFunnelDiagram->palette();
    diagram.setColor(QPalette::Window, Qt::white);
    picFunnelDiagram->setPalette(diagram);

    auto* Label1 = new QLabel(QStringLiteral("My Sales Funnel:"), picFunnelDiagram);
    Label1->setGeometry(Twips(360, 315, 7170, 465));
    QFont headingFont(QStringLiteral("Verdana"), 12);
    headingFont.setBold(true);
    Label1->setFont(headingFont);
    lblMyProducts = new QLabel(
        QStringLiteral("<a href=\"#myproducts\" style=\"color: blue; font-weight: bold\">My Products</a>"),
        picFunnelDiagram);
    lblMyProducts->setObjectName(QStringLiteral("lblMyProducts"));
    lblMyProducts->setGeometry(Twips(13545, 405, 2580, 420));

    static constexpr std::array<std::array<int, 4>, FunnelModel::SlotCount> panelGeometry{{
        {360, 1080, 5010, 3615},
        {5805, 1080, 5010, 3615},
        {11205, 1080, 5010, 3615},
        {5805, 5535, 5010, 2985},
        {11205, 5535, 5010, 2985},
    }};
    static constexpr std::array<std::array<int, 2>, FunnelModel::ConnectorCount> connectorPlace{{
        {5310, 2655},
        {10755, 2655},
        {8145, 4590},
        {13590, 4590},
    }};
    for (int n = 0; n < FunnelModel::SlotCount; ++n) {
        auto* itemPanel = new FunnelItemPanel(n, picFunnelDiagram);
        const auto& g = panelGeometry[size_t(n)];
        itemPanel->setGeometry(Twips(g[0], g[1], g[2], g[3]));
        m_panels[size_t(n)] = itemPanel;
        connect(itemPanel, &FunnelItemPanel::productPicked, this, &frmFunnels::cboProduct_Click);
        connect(itemPanel, &FunnelItemPanel::downloadUrlEdited, &m_model, &FunnelModel::SetDownloadUrl);
        connect(itemPanel, &FunnelItemPanel::previewClicked, this, &frmFunnels::lblPreview_Click);
        connect(itemPanel, &FunnelItemPanel::removeClicked, this, &frmFunnels::lblRemoveDownsell_Click);
        connect(itemPanel, &FunnelItemPanel::addUpsellClicked, this, &frmFunnels::cmdAddUpsell_Click);
        connect(itemPanel, &FunnelItemPanel::addDownsellClicked, this, &frmFunnels::cmdAddDownsell_Click);
    }
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c) {
        auto* connector = new ConnectorPicture(
            c < 2 ? ConnectorPicture::Kind::Upsell : ConnectorPicture::Kind::Downsell, picFunnelDiagram);
        connector->setObjectName(QStringLiteral("imgFunnel%1").arg(c));
        connector->setGeometry(Twips(connectorPlace[size_t(c)][0], connectorPlace[size_t(c)][1], 450, 600));
        m_connectors[size_t(c)] = connector;
    }

    cmdCreate =
        new QPushButton(QStringLiteral("Convert Sales Funnel into a WordPress Plugin"), picFunnelDiagram);
    cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    cmdCreate->setGeometry(Twips(1170, 9225, 5100, 825));
    cmdOutput = new QPushButton(QStringLiteral("Open Output Folder"), picFunnelDiagram);
    cmdOutput->setObjectName(QStringLiteral("cmdOutput"));
    cmdOutput->setGeometry(Twips(6390, 9225, 4515, 825));
    Command1 = new QPushButton(QStringLiteral("Close App"), picFunnelDiagram);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips(11025, 9225, 4515, 825));

    connect(cmdCreate, &QPushButton::clicked, this, &frmFunnels::cmdCreate_Click);
    connect(cmdOutput, &QPushButton::clicked, this, &frmFunnels::cmdOutput_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFunnels::Command1_Click);
    connect(lblMyProducts, &QLabel::linkActivated, this, &frmFunnels::lblMyProducts_Click);
    connect(&m_model, &FunnelModel::changed, this, &frmFunnels::ShowModel);

    Form_Load();
}

QString frmFunnels::Caption() {
    return kProductName + QStringLiteral(" Pro ") + kVersion + kNameSuffix;
}

void frmFunnels::Form_Load() {
    lblAppName->setText(kProductName);
    setWindowTitle(Caption());

    const QString myProducts = m_applicationFolder + QStringLiteral("/myproducts");
    if (!KelvrinTools::PathExists(myProducts, true) && !QDir().mkdir(myProducts))
        m_messages.Show(QStringLiteral("Important"),
                        QStringLiteral("The folder for your own products could not be created:\n%1\n\n"
                                       "Veltrano goes on with the built-in products only.")
                            .arg(myProducts),
                        Messages::Icon::Warning);
    FillProductLists();
    ShowModel();
}

void frmFunnels::FillProductLists() {
    m_model.SetProductChoices(m_catalogue.FillProductLists());
}

void frmFunnels::ShowModel() {
    for (FunnelItemPanel* itemPanel : m_panels)
        itemPanel->ShowState(m_model);
    for (int c = 0; c < FunnelModel::ConnectorCount; ++c)
        m_connectors[size_t(c)]->setVisible(m_model.IsConnectorShown(c));
}

void frmFunnels::Command1_Click() {
    close();
}

void frmFunnels::cmdOutput_Click() {
    m_shell.OpenFolder(m_applicationFolder + QStringLiteral("/output"));
}

void frmFunnels::lblMyProducts_Click() {
    frmMyProducts help(m_applicationFolder, m_shell, this);
    help.exec();
}

void frmFunnels::cmdCreate_Click() {
    if (!FunnelGenerator::CheckFunnelItems(m_model)) {
        m_messages.Show(
            QStringLiteral("Missing Info"),
            QStringLiteral(
                "Please verify that you've selected a product for each one of your funnel items."));
        return;
    }
    if (!m_convert) {
        m_convert = new frmConvert(m_applicationFolder, m_model, m_tools, m_messages, m_shell, this);
        m_convert->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_convert->show();
    m_convert->raise();
    m_convert->activateWindow();
}

void frmFunnels::cboProduct_Click(int Index, const QString& product) {
    m_model.SetProductText(Index, product);
    SelectProduct(Index);
}

void frmFunnels::SelectProduct(int Index) {
    m_model.SelectProduct(Index, m_catalogue);
}

void frmFunnels::lblPreview_Click(int Index) {
    const QString product = m_model.Slot(Index).cboProduct;
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
    m_model.lblItemPreview = QString::number(Index);
    frmProductViewer viewer(m_model.Slot(m_model.lblItemPreview.toInt()).txtSalesPageHTML, this);
    viewer.exec();
}

void frmFunnels::cmdAddUpsell_Click(int Index) {
    m_model.AddUpsell(Index);
}

void frmFunnels::cmdAddDownsell_Click(int Index) {
    m_model.AddDownsell(Index);
}

void frmFunnels::lblRemoveDownsell_Click(int Index) {
    if (m_model.RemoveItem(Index) == FunnelModel::RemoveResult::HasChildren)
        m_messages.Show(QStringLiteral("Ooops"),
                        QStringLiteral("The selected funnel item can' be deleted (has child items)"));
}
