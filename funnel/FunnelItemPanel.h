#pragma once

#include <QElapsedTimer>
#include <QFrame>

class QComboBox;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QPushButton;
class FunnelModel;

// The panel of one funnel item slot. It shows the slot's state from the model and reports the
// user's actions; it decides nothing itself.
class FunnelItemPanel final : public QFrame {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FunnelItemPanel)

public:
    FunnelItemPanel(int slot, QWidget* parent = nullptr);

    void ShowState(const FunnelModel& model);
    // Why the item's product can't be built, beside the product list; empty hides it.
    void ShowProblem(const QString& problem);

    int slot() const { return m_slot; }
    QLabel* lblProductName = nullptr;
    QPushButton* lblRemoveDownsell = nullptr;
    QPushButton* lblPreview = nullptr;
    QComboBox* cboProduct = nullptr;
    QLineEdit* txtProductDownloadUrl = nullptr;
    QPushButton* cmdAddUpsell = nullptr;
    QPushButton* cmdAddDownsell = nullptr;
    QLabel* lblProblem = nullptr;

signals:
    void productPicked(int slot, const QString& product);
    void downloadUrlEdited(int slot, const QString& address);
    void previewClicked(int slot);
    void removeClicked(int slot);
    void addUpsellClicked(int slot);
    void addDownsellClicked(int slot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitProblem();

    int m_slot;
    QStringList m_choices;
    // What was typed into the product list so far, and when.
    QString m_typed;
    QElapsedTimer m_typing;
    // What the panel did to the address last, said until the address is edited again.
    QString m_note;
    // What lblProblem says, before it is fitted to the label.
    QString m_shownProblem;
};

// "https://" and the address, for an address typed as a bare host name and path
// ("files.example.com/a.zip"); any other text unchanged.
QString WithWebScheme(const QString& address);

// `text` word-wrapped within `room` as whole as it fits: else with its longest run without blanks
// (a path, an address) shortened in the middle, else cut off at the end.
QString WrappedToFit(const QString& text, const QFontMetrics& metrics, const QSize& room);

// The first product whose name begins with what was typed, in any case; -1 for none.
int ProductMatching(const QStringList& products, const QString& typed);
