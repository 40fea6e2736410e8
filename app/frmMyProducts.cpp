#include "app/frmMyProducts.h"

#include "platform/ScreenFit.h"
#include "platform/Shell.h"
#include "platform/Twips.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

frmMyProducts::frmMyProducts(QString myProductsFolder, Shell& shell, QWidget* parent)
    : QDialog(parent)
    , m_myProductsFolder(std::move(myProductsFolder))
    , m_shell(shell) {
    setWindowTitle(QStringLiteral("My Products"));
    resize(Twips(0, 0, 12870, 8580).size());

    // The texts wrap to the window's width and scroll where a small screen can't show them all;
    // the buttons stay in sight.
    auto* texts = new QWidget;
    auto* layout = new QVBoxLayout(texts);
    layout->setContentsMargins(24, 18, 24, 0);
    auto addText = [texts, layout](const QString& name, const QString& text, bool indented) {
        auto* label = new QLabel(text, texts);
        label->setObjectName(name);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (indented)
            label->setContentsMargins(28, 0, 0, 0);
        layout->addWidget(label);
        return label;
    };

    QLabel* title =
        addText(QStringLiteral("Label1"), QStringLiteral("Adding Products to The Software"), false);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 14 / 9);
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto* line = new QFrame(texts);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    layout->addWidget(line);

    addText(QStringLiteral("lblNewProduct"),
            QStringLiteral(
                "You can add products to the software to use them in your funnels. The quickest way is "
                "\"Funnel > New Product...\" (or \"New Product...\" beside \"My Products\" in the main "
                "window): give the product a name, pick its sales page image and type its download url, "
                "and it is in every product list at once. \"Funnel > Edit or Remove Product...\" changes "
                "or removes a product of yours later."),
            false);
    addText(
        QStringLiteral("Label2"),
        QStringLiteral("You can also add a product by hand. To do this you will need to follow these steps:"),
        false);
    addText(QStringLiteral("Label3"),
            QStringLiteral("Step 1: Click the \"Open 'My Products' Folder\" Button."), false);
    addText(QStringLiteral("Label4"),
            QStringLiteral(
                "Step 2: Inside that Folder, create a folder with the name of a product of your choice "
                "without spaces (dashes are ok)."),
            false);
    addText(QStringLiteral("Label6"), QStringLiteral("example: \"cool-product\""), true);
    addText(QStringLiteral("Label10"),
            QStringLiteral(
                "Comment: This Name will be used in the download pages. If you use dashed, they will be "
                "replaced by spaces."),
            true);
    addText(QStringLiteral("Label5"), QStringLiteral("Step 3: Inside this new folder, you need to put:"),
            false);
    addText(QStringLiteral("Label7"),
            QStringLiteral("1) A Graphical Sales Page. It needs to be an image (.gif, .jpg, .png or .webp) "
                           "and its name must be \"salespage\". Example: salespage.jpg."),
            true);
    addText(QStringLiteral("Label8"),
            QStringLiteral(
                "2) A file with the following name: download.txt. This file must include the download url "
                "for this product (dropbox url etc)."),
            true);
    addText(QStringLiteral("Label11"),
            QStringLiteral(
                "Tip: Inside the \"My Products\" Folder you'll find a \"Demo Product\" that you can use as "
                "reference."),
            false);
    addText(QStringLiteral("Label9"),
            QStringLiteral(
                "Step 4: Restart the Software and you should see the product for each funnel item (custom "
                "products will be visible with the prefix \"My Products\"."),
            false);
    // Where no file manager can show the folder, the window says where it is.
    m_folderNote = addText(QStringLiteral("lblFolder"), QString(), false);
    m_folderNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_folderNote->hide();
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    auto* cmdMyProducts = new QPushButton(QStringLiteral("&Open \"My Products\" Folder"), this);
    cmdMyProducts->setObjectName(QStringLiteral("cmdMyProducts"));
    auto* cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setDefault(true);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* button : {cmdMyProducts, cmdClose}) {
        button->setMinimumHeight(40);
        buttons->addWidget(button);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(texts);
    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 18);
    windowLayout->addWidget(scroll, 1);
    buttons->setContentsMargins(24, 0, 24, 0);
    windowLayout->addLayout(buttons);
    resize(ScreenFit::Bounded(size(), screen()->availableGeometry()));
    connect(cmdMyProducts, &QPushButton::clicked, this, &frmMyProducts::cmdMyProducts_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMyProducts::cmdClose_Click);
}

void frmMyProducts::cmdMyProducts_Click() {
    if (m_shell.OpenFolder(m_myProductsFolder))
        return;
    m_folderNote->setText(QStringLiteral("No file manager could show the folder. Your \"My Products\" folder is:\n%1")
                              .arg(QDir::toNativeSeparators(m_myProductsFolder)));
    m_folderNote->show();
}

void frmMyProducts::cmdClose_Click() {
    close();
}
