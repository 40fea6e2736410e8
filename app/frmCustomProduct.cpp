#include "app/frmCustomProduct.h"

#include "catalogue/CustomProductWriter.h"
#include "funnel/FunnelModel.h"
#include "platform/Messages.h"
#include "platform/ScreenFit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmCustomProduct::frmCustomProduct(CustomProductWriter& writer, const FunnelModel& funnel, Messages& messages,
                                   const QStringList& products, const QString& current, QWidget* parent)
    : QDialog(parent)
    , m_writer(writer)
    , m_funnel(funnel)
    , m_messages(messages) {
    const bool editing = !products.isEmpty();
    setObjectName(QStringLiteral("frmCustomProduct"));
    setWindowTitle(editing ? QStringLiteral("Edit Product") : QStringLiteral("New Product"));

    auto* form = new QFormLayout;
    // Labels go above their fields where the screen is too narrow for both side by side.
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    if (editing) {
        cboProduct = new QComboBox(this);
        cboProduct->setObjectName(QStringLiteral("cboProduct"));
        cboProduct->addItems(products);
        form->addRow(QStringLiteral("&Product:"), cboProduct);
    }
    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    form->addRow(QStringLiteral("&Name:"), txtName);
    lblListedAs = new QLabel(this);
    lblListedAs->setObjectName(QStringLiteral("lblListedAs"));
    form->addRow(QString(), lblListedAs);

    txtSalesPageImage = new QLineEdit(this);
    txtSalesPageImage->setObjectName(QStringLiteral("txtSalesPageImage"));
    txtSalesPageImage->setPlaceholderText(QStringLiteral("A GIF, JPEG, PNG or WebP image"));
    cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    auto* image = new QHBoxLayout;
    image->addWidget(txtSalesPageImage, 1);
    image->addWidget(cmdBrowse);
    form->addRow(QStringLiteral("Sales page &image:"), image);
    // QFormLayout gives a layout row's label no buddy.
    qobject_cast<QLabel*>(form->labelForField(image))->setBuddy(txtSalesPageImage);

    txtDownloadUrl = new QLineEdit(this);
    txtDownloadUrl->setObjectName(QStringLiteral("txtDownloadUrl"));
    txtDownloadUrl->setPlaceholderText(QStringLiteral("https://"));
    form->addRow(QStringLiteral("&Download address:"), txtDownloadUrl);
    txtSalesText = new QPlainTextEdit(this);
    txtSalesText->setObjectName(QStringLiteral("txtSalesText"));
    txtSalesText->setTabChangesFocus(true);
    form->addRow(QStringLiteral("Sales &text (optional):"), txtSalesText);

    auto* buttons = new QDialogButtonBox(this);
    cmdSave =
        buttons->addButton(editing ? QStringLiteral("&Save Changes") : QStringLiteral("&Create Product"),
                           QDialogButtonBox::AcceptRole);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setDefault(true);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    if (editing) {
        cmdRemove =
            buttons->addButton(QStringLiteral("&Remove Product..."), QDialogButtonBox::DestructiveRole);
        cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
        connect(cmdRemove, &QPushButton::clicked, this, &frmCustomProduct::cmdRemove_Click);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // The text box gives way on a small screen, the buttons stay in sight.
    txtSalesText->setMinimumHeight(txtSalesText->fontMetrics().lineSpacing() * 3);
    resize(ScreenFit::Bounded(QSize(560, sizeHint().height()), screen()->availableGeometry()));

    // The buttons' own signals: the box would close the window before the writer has answered.
    connect(cmdSave, &QPushButton::clicked, this, &frmCustomProduct::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmCustomProduct::cmdBrowse_Click);
    connect(txtName, &QLineEdit::textChanged, this, &frmCustomProduct::txtName_Change);
    txtName_Change(QString());
    if (editing) {
        connect(cboProduct, &QComboBox::currentTextChanged, this, &frmCustomProduct::cboProduct_Click);
        cboProduct->setCurrentIndex(int(std::max<qsizetype>(0, products.indexOf(current))));
        cboProduct_Click(cboProduct->currentText());
    }
}

void frmCustomProduct::cboProduct_Click(const QString& product) {
    m_editing = product;
    const CustomProduct fields = m_writer.Read(product);
    txtName->setText(fields.name);
    txtSalesPageImage->setText(QDir::toNativeSeparators(fields.image));
    txtDownloadUrl->setText(fields.downloadAddress);
    txtSalesText->setPlainText(fields.salesText);
}

void frmCustomProduct::txtName_Change(const QString& name) {
    // The lists show a product by its folder's name, which need not be what was typed.
    const QString listed = CustomProductWriter::FolderName(name).isEmpty()
                               ? ProductCatalogue::CustomPrefix() + QStringLiteral("...")
                               : CustomProductWriter::DisplayName(name);
    lblListedAs->setText(QStringLiteral("Listed as \"%1\"").arg(listed));
}

void frmCustomProduct::cmdBrowse_Click() {
    const QString typed = QDir::fromNativeSeparators(txtSalesPageImage->text().trimmed());
    const QString folder = typed.isEmpty() ? QDir::homePath() : QFileInfo(typed).path();
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose the Sales Page Image"), folder,
        QStringLiteral("Images (*.gif *.jpg *.jpeg *.png *.webp);;All files (*)"));
    if (!path.isEmpty())
        txtSalesPageImage->setText(QDir::toNativeSeparators(path));
}

void frmCustomProduct::cmdSave_Click() {
    const CustomProduct product{txtName->text(),
                                QDir::fromNativeSeparators(txtSalesPageImage->text().trimmed()),
                                txtDownloadUrl->text(), txtSalesText->toPlainText()};
    const CustomProductWriter::Result result =
        m_editing.isEmpty() ? m_writer.Create(product) : m_writer.Update(m_editing, product);
    if (!result.problem.isEmpty()) {
        m_messages.Show(windowTitle(), result.problem, Messages::Icon::Warning);
        return;
    }
    Finish(m_editing.isEmpty() ? Outcome::Created : Outcome::Changed, result.displayName);
}

void frmCustomProduct::cmdRemove_Click() {
    QStringList usedBy;
    for (int n : m_funnel.SlotsUsing(m_editing))
        usedBy << FunnelModel::Title(n);
    // A product in use is refused without asking.
    if (usedBy.isEmpty() &&
        !m_messages.Confirm(
            QStringLiteral("Remove Product"),
            QStringLiteral("Remove %1? Its folder is deleted with every file in it.").arg(m_editing),
            QStringLiteral("&Remove")))
        return;
    const CustomProductWriter::Result result = m_writer.Remove(m_editing, usedBy);
    if (!result.problem.isEmpty())
        m_messages.Show(QStringLiteral("Remove Product"), result.problem, Messages::Icon::Warning);
    if (!result.displayName.isEmpty())
        Finish(Outcome::Removed, QString());
}

void frmCustomProduct::Finish(Outcome outcome, const QString& after) {
    m_outcome = outcome;
    m_before = m_editing;
    m_after = after;
    accept();
}
