#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class ProductCatalogue;

// One funnel item slot: its place in the funnel and what the user chose for it. A removed slot
// keeps its product, address and paths, so adding it again shows the earlier choice.
struct FunnelSlot {
    bool shown = false;
    QString cboProduct;
    QString txtProductDownloadUrl;
    QString txtSalesPageImage;
    QString txtSalesPageHTML;
    int childCount = 0;

    bool operator==(const FunnelSlot&) const = default;
};

// The five fixed funnel slots, their titles and parents, and the rules for adding and removing
// items. The main window draws it; the generator reads it.
class FunnelModel : public QObject {
    Q_OBJECT

public:
    static constexpr int SlotCount = 5;
    static constexpr int ConnectorCount = 4;

    enum class RemoveResult { Removed, HasChildren, NotRemovable };

    explicit FunnelModel(QObject* parent = nullptr);

    // Back to the start: only the front end offer, no product anywhere; the product choices stay.
    void Clear();

    static QString Title(int slot);
    // How messages name an item: "Upsell #1 (slot 1)".
    static QString ItemName(int slot);
    static int Parent(int slot);

    bool IsPresent(int slot) const;
    const FunnelSlot& Slot(int slot) const;
    QList<int> PresentSlots() const;

    // Connector N sits between slot N + 1 and its parent and is shown exactly while that slot is.
    bool IsConnectorShown(int connector) const;
    bool IsAddUpsellEnabled(int slot) const;
    bool IsAddDownsellEnabled(int slot) const;

    void SetProductChoices(const QStringList& choices);
    const QStringList& ProductChoices() const { return m_productChoices; }

    // Sets the list's text without resolving it (the user's pick resolves through SelectProduct).
    void SetProductText(int slot, const QString& product);
    void SetDownloadUrl(int slot, const QString& address);
    // The image path is normally set by resolving a product; set directly only where a path
    // comes from elsewhere.
    void SetSalesPageImage(int slot, const QString& path);
    // Resolves the product named in the slot's list into the slot's fields.
    void SelectProduct(int slot, const ProductCatalogue& catalogue);
    // The shown slots whose product is `product`.
    QList<int> SlotsUsing(const QString& product) const;
    // A product changed on disk, perhaps renamed: every slot that holds `from`, shown or not,
    // takes `to` and is resolved again, as if picked.
    void FollowProduct(const QString& from, const QString& to, const ProductCatalogue& catalogue);

    // The add buttons: false, and nothing changes, when the button is disabled or absent.
    bool AddUpsell(int index);
    bool AddDownsell(int index);
    RemoveResult RemoveItem(int index);

    // Everything a change to the funnel can touch, so that a change can be taken back whole.
    struct State {
        std::array<FunnelSlot, SlotCount> items;
        std::array<bool, 2> addUpsellEnabled;
        std::array<bool, 3> addDownsellEnabled;
        QString txtProductId;
        QString txtBonusDeliveryUrl;
        QString txtMyProductDownloadUrl;

        bool operator==(const State&) const = default;
    };
    State Save() const;
    void Restore(const State& state);

    // Hidden state that outlives one pick.
    QString txtProductId;
    QString txtBonusDeliveryUrl;
    QString txtMyProductDownloadUrl;
    QString lblItemPreview;

signals:
    void changed();

private:
    void Show(int slot);

    std::array<FunnelSlot, SlotCount> m_slots;
    std::array<bool, 2> m_addUpsellEnabled{true, true};
    std::array<bool, 3> m_addDownsellEnabled{false, true, true};
    QStringList m_productChoices;
};
