#include "funnel/FunnelModel.h"

#include "catalogue/ProductCatalogue.h"

namespace {

bool validSlot(int slot) {
    return slot >= 0 && slot < FunnelModel::SlotCount;
}

} // namespace

FunnelModel::FunnelModel(QObject* parent)
    : QObject(parent) {
    m_slots[0].shown = true;
}

void FunnelModel::Clear() {
    m_slots = {};
    m_slots[0].shown = true;
    m_addUpsellEnabled = {true, true};
    m_addDownsellEnabled = {false, true, true};
    txtProductId.clear();
    txtBonusDeliveryUrl.clear();
    txtMyProductDownloadUrl.clear();
    lblItemPreview.clear();
    emit changed();
}

QString FunnelModel::Title(int slot) {
    static const std::array<QString, SlotCount> titles{
        QStringLiteral("Front End Offer"),
        QStringLiteral("Upsell #1"),
        QStringLiteral("Upsell #2"),
        QStringLiteral("Downsell For Upsell #1"),
        QStringLiteral("Downsell For Upsell #2"),
    };
    return validSlot(slot) ? titles[size_t(slot)] : QString();
}

int FunnelModel::Parent(int slot) {
    static constexpr std::array<int, SlotCount> parents{-1, 0, 1, 1, 2};
    return validSlot(slot) ? parents[size_t(slot)] : -1;
}

bool FunnelModel::IsPresent(int slot) const {
    return validSlot(slot) && m_slots[size_t(slot)].shown;
}

const FunnelSlot& FunnelModel::Slot(int slot) const {
    return m_slots.at(size_t(slot));
}

QList<int> FunnelModel::PresentSlots() const {
    QList<int> present;
    for (int n = 0; n < SlotCount; ++n)
        if (IsPresent(n))
            present << n;
    return present;
}

bool FunnelModel::IsConnectorShown(int connector) const {
    return connector >= 0 && connector < ConnectorCount && IsPresent(connector + 1);
}

bool FunnelModel::IsAddUpsellEnabled(int slot) const {
    return (slot == 0 || slot == 1) && m_addUpsellEnabled[size_t(slot)];
}

bool FunnelModel::IsAddDownsellEnabled(int slot) const {
    return (slot == 1 || slot == 2) && m_addDownsellEnabled[size_t(slot)];
}

void FunnelModel::SetProductChoices(const QStringList& choices) {
    m_productChoices = choices;
    emit changed();
}

void FunnelModel::SetProductText(int slot, const QString& product) {
    if (!validSlot(slot))
        return;
    m_slots[size_t(slot)].cboProduct = product;
    emit changed();
}

void FunnelModel::SetDownloadUrl(int slot, const QString& typed) {
    // A pasted address often brings a blank or a line break along; none belongs to an address.
    const QString address = typed.trimmed();
    if (!validSlot(slot) || m_slots[size_t(slot)].txtProductDownloadUrl == address)
        return;
    m_slots[size_t(slot)].txtProductDownloadUrl = address;
    emit changed();
}

void FunnelModel::SetSalesPageImage(int slot, const QString& path) {
    if (!validSlot(slot))
        return;
    m_slots[size_t(slot)].txtSalesPageImage = path;
    emit changed();
}

void FunnelModel::SelectProduct(int slot, const ProductCatalogue& catalogue) {
    if (!validSlot(slot))
        return;
    FunnelSlot& s = m_slots[size_t(slot)];
    const QString name = s.cboProduct;
    s.txtProductDownloadUrl.clear();

    if (ProductCatalogue::KindOf(name) == ProductKind::BuiltIn) {
        const ProductRecord product = catalogue.ResolveBuiltIn(name);
        txtProductId = product.productId;
        s.txtSalesPageImage = product.salesPageImage;
        s.txtSalesPageHTML = product.previewPage;
        if (product.productId.isEmpty())
            txtBonusDeliveryUrl = QStringLiteral("Not Available Yet");
        else
            s.txtProductDownloadUrl = product.downloadAddress;
    } else {
        // Fields the folder does not provide keep what the slot held before.
        const ProductRecord product = catalogue.ResolveCustom(name);
        if (product.hasDownloadFile) {
            txtMyProductDownloadUrl = product.downloadAddress;
            s.txtProductDownloadUrl = txtMyProductDownloadUrl;
        }
        if (!product.salesPageImage.isEmpty())
            s.txtSalesPageImage = product.salesPageImage;
    }
    emit changed();
}

QList<int> FunnelModel::SlotsUsing(const QString& product) const {
    QList<int> users;
    for (int n : PresentSlots())
        if (m_slots[size_t(n)].cboProduct == product)
            users << n;
    return users;
}

void FunnelModel::FollowProduct(const QString& from, const QString& to, const ProductCatalogue& catalogue) {
    for (int n = 0; n < SlotCount; ++n)
        if (!from.isEmpty() && m_slots[size_t(n)].cboProduct == from) {
            m_slots[size_t(n)].cboProduct = to;
            SelectProduct(n, catalogue);
        }
}

void FunnelModel::Show(int slot) {
    m_slots[size_t(slot)].shown = true;
    ++m_slots[size_t(Parent(slot))].childCount;
}

bool FunnelModel::AddUpsell(int index) {
    if (!IsAddUpsellEnabled(index) || !IsPresent(index))
        return false;
    Show(index + 1);
    m_addUpsellEnabled[size_t(index)] = false;
    emit changed();
    return true;
}

bool FunnelModel::AddDownsell(int index) {
    if (!IsAddDownsellEnabled(index) || !IsPresent(index))
        return false;
    Show(index + 2);
    m_addDownsellEnabled[size_t(index)] = false;
    emit changed();
    return true;
}

FunnelModel::RemoveResult FunnelModel::RemoveItem(int index) {
    if (index < 1 || index >= SlotCount || !IsPresent(index))
        return RemoveResult::NotRemovable;
    if (m_slots[size_t(index)].childCount != 0)
        return RemoveResult::HasChildren;

    m_slots[size_t(index)].shown = false;
    const int parent = Parent(index);
    --m_slots[size_t(parent)].childCount;
    if (index == 1 || index == 2)
        m_addUpsellEnabled[size_t(index - 1)] = true;
    else
        m_addDownsellEnabled[size_t(index - 2)] = true;
    emit changed();
    return RemoveResult::Removed;
}

FunnelModel::State FunnelModel::Save() const {
    return {m_slots,      m_addUpsellEnabled,  m_addDownsellEnabled,
            txtProductId, txtBonusDeliveryUrl, txtMyProductDownloadUrl};
}

void FunnelModel::Restore(const State& state) {
    if (state == Save())
        return;
    m_slots = state.items;
    m_addUpsellEnabled = state.addUpsellEnabled;
    m_addDownsellEnabled = state.addDownsellEnabled;
    txtProductId = state.txtProductId;
    txtBonusDeliveryUrl = state.txtBonusDeliveryUrl;
    txtMyProductDownloadUrl = state.txtMyProductDownloadUrl;
    emit changed();
}

QString FunnelModel::ItemName(int slot) {
    return QStringLiteral("%1 (slot %2)").arg(Title(slot)).arg(slot);
}
