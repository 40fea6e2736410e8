#include "plugin/FunnelFile.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace {

struct Item {
    QString product;
    QString download;
    bool hasDownload = false;
};

bool addSlot(FunnelModel& funnel, int slot) {
    switch (slot) {
    case 1:
        return funnel.AddUpsell(0);
    case 2:
        return funnel.AddUpsell(1);
    case 3:
        return funnel.AddDownsell(1);
    case 4:
        return funnel.AddDownsell(2);
    default:
        return false;
    }
}

} // namespace

QString FunnelFile::Load(const QByteArray& json, const ProductCatalogue& catalogue,
                         const QStringList& productChoices, KelvrinTools& tools, FunnelModel& funnel,
                         PluginDetails& details) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("The funnel file is not valid JSON (at character %1): %2")
            .arg(parseError.offset)
            .arg(parseError.errorString());
    if (!document.isObject() || !document.object().value(QStringLiteral("items")).isArray())
        return QStringLiteral("The funnel file needs an object with an \"items\" list.");

    QMap<int, Item> items;
    for (const QJsonValue& value : document.object().value(QStringLiteral("items")).toArray()) {
        const QJsonObject object = value.toObject();
        const QJsonValue slotValue = object.value(QStringLiteral("slot"));
        const int slot = slotValue.toInt(-1);
        if (!slotValue.isDouble() || slot < 0 || slot >= FunnelModel::SlotCount ||
            slotValue.toDouble() != slot)
            return QStringLiteral("Every item needs a \"slot\" from 0 to 4.");
        if (items.contains(slot))
            return QStringLiteral("Slot %1 is listed twice.").arg(slot);
        Item item;
        item.product = object.value(QStringLiteral("product")).toString();
        if (item.product.isEmpty())
            return QStringLiteral(
                "Please verify that you've selected a product for each one of your funnel items.");
        if (!productChoices.contains(item.product))
            return QStringLiteral("Slot %1: unknown product \"%2\".").arg(slot).arg(item.product);
        if (object.contains(QStringLiteral("download"))) {
            item.download = object.value(QStringLiteral("download")).toString();
            item.hasDownload = true;
        }
        items.insert(slot, item);
    }
    if (!items.contains(0))
        return QStringLiteral("The funnel needs its front end offer (slot 0).");
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        if (it.key() != 0 && !items.contains(FunnelModel::Parent(it.key())))
            return QStringLiteral("Slot %1 (%2) needs slot %3 (%4) in the funnel too.")
                .arg(it.key())
                .arg(FunnelModel::Title(it.key()))
                .arg(FunnelModel::Parent(it.key()))
                .arg(FunnelModel::Title(FunnelModel::Parent(it.key())));

    // Ascending slot order adds every parent before its children.
    funnel.SetProductChoices(productChoices);
    for (auto it = items.cbegin(); it != items.cend(); ++it) {
        if (it.key() != 0)
            addSlot(funnel, it.key());
        funnel.SetProductText(it.key(), it->product);
        funnel.SelectProduct(it.key(), catalogue);
        if (it->hasDownload)
            funnel.SetDownloadUrl(it.key(), it->download);
    }

    const QJsonObject plugin = document.object().value(QStringLiteral("plugin")).toObject();
    auto take = [&plugin](const char* key, QString& field) {
        const QJsonValue value = plugin.value(QLatin1String(key));
        if (value.isString())
            field = value.toString();
    };
    details.identifier = GenerateIdentifier(tools);
    take("identifier", details.identifier);
    take("name", details.name);
    take("uri", details.uri);
    take("description", details.description);
    take("version", details.version);
    take("author", details.author);
    take("authorUrl", details.authorUrl);
    take("license", details.license);
    return {};
}
