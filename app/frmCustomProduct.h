#pragma once

#include <QDialog>

class CustomProductWriter;
class FunnelModel;
class Messages;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// A product of the user's own: made new, or chosen among them to be changed or removed. The
// writer decides and writes; this window only gathers the fields and shows the answer.
class frmCustomProduct final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmCustomProduct)

public:
    enum class Outcome { None, Created, Changed, Removed };

    // A new product when `products` is empty; else one of `products` (as listed), `current` first.
    frmCustomProduct(CustomProductWriter& writer, const FunnelModel& funnel, Messages& messages,
                     const QStringList& products = {}, const QString& current = {},
                     QWidget* parent = nullptr);

    Outcome outcome() const { return m_outcome; }
    // The product as it was listed, and as it is listed now.
    const QString& before() const { return m_before; }
    const QString& after() const { return m_after; }

    QComboBox* cboProduct = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* lblListedAs = nullptr;
    QLineEdit* txtSalesPageImage = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLineEdit* txtDownloadUrl = nullptr;
    QPlainTextEdit* txtSalesText = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

private slots:
    void cboProduct_Click(const QString& product);
    void txtName_Change(const QString& name);
    void cmdBrowse_Click();
    void cmdSave_Click();
    void cmdRemove_Click();

private:
    void Finish(Outcome outcome, const QString& after);

    CustomProductWriter& m_writer;
    const FunnelModel& m_funnel;
    Messages& m_messages;
    // The product being changed; empty for a new one.
    QString m_editing;
    Outcome m_outcome = Outcome::None;
    QString m_before;
    QString m_after;
};
