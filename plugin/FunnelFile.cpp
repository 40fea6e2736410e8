#include "plugin/FunnelFile.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/UserFile.h"
#include "plugin/JsonDuplicateKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString kItems = QStringLiteral("items");
const QString kPlugin = QStringLiteral("plugin");
const QString kSlot = QStringLiteral("slot");
const QString kProduct = QStringLiteral("product");
const QString kDownload = QStringLiteral("download");
const QString kTokens = QStringLiteral("tokens");
const QString kSales = QStringLiteral("sales");

QString typeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("text");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("missing");
}

QString wrongType(const QString& where, const QString& expected, const QJsonValue& value) {
    return QStringLiteral("%1 must be %2, not %3.").arg(where, expected, typeName(value));
}

// A token becomes a PHP string and part of a page address: only well-formed ones are taken.
QString parseTokens(int slot, const QJsonValue& value, FunnelTokens& tokens) {
    const QString where = FunnelModel::ItemName(slot) + QStringLiteral(": \"tokens\"");
    if (!value.isObject())
        return wrongType(where, QStringLiteral("an object"), value);
    const QJsonObject object = value.toObject();
    const QJsonValue sales = object.value(kSales);
    const QJsonValue download = object.value(kDownload);
    if (!sales.isString() || !IsWellFormedToken(sales.toString(), QStringLiteral("sp")))
        return where + QStringLiteral(" needs \"sales\": \"sp\" followed by 20 to 64 lowercase letters "
                                      "and digits.");
    if (!download.isString() || !IsWellFormedToken(download.toString(), QStringLiteral("dld")))
        return where + QStringLiteral(" needs \"download\": \"dld\" followed by 20 to 64 lowercase "
                                      "letters and digits.");
    tokens.sales[size_t(slot)] = sales.toString();
    tokens.download[size_t(slot)] = download.toString();
    return {};
}

QString parseItem(const QJsonValue& value, int position, FunnelFileContent& content) {
    if (!value.isObject())
        return wrongType(QStringLiteral("Item %1 of \"items\"").arg(position), QStringLiteral("an object"),
                         value);
    const QJsonObject object = value.toObject();
    const QJsonValue slotValue = object.value(kSlot);
    const int slot = slotValue.toInt(-1);
    if (!slotValue.isDouble() || slot < 0 || slot >= FunnelModel::SlotCount || slotValue.toDouble() != slot)
        return QStringLiteral("Every item needs a \"slot\" from 0 to 4.");
    if (content.items.contains(slot))
        return QStringLiteral("%1 is listed twice.").arg(FunnelModel::ItemName(slot));

    FunnelFileItem item;
    const QJsonValue product = object.value(kProduct);
    if (!product.isUndefined() && !product.isString())
        return wrongType(FunnelModel::ItemName(slot) + QStringLiteral(": \"product\""),
                         QStringLiteral("text"), product);
    item.product = product.toString();
    const QJsonValue download = object.value(kDownload);
    if (!download.isUndefined()) {
        if (!download.isString())
            return wrongType(FunnelModel::ItemName(slot) + QStringLiteral(": \"download\""),
                             QStringLiteral("text"), download);
        item.download = download.toString();
        item.hasDownload = true;
    }
    if (object.contains(kTokens)) {
        const QString problem = parseTokens(slot, object.value(kTokens), content.tokens);
        if (!problem.isEmpty())
            return problem;
    }
    content.items.insert(slot, item);
    return {};
}

struct DetailField {
    const char* key;
    QString PluginDetails::*field;
};

constexpr DetailField kDetailFields[] = {
    {"identifier", &PluginDetails::identifier},
    {"name", &PluginDetails::name},
    {"uri", &PluginDetails::uri},
    {"description", &PluginDetails::description},
    {"version", &PluginDetails::version},
    {"author", &PluginDetails::author},
    {"authorUrl", &PluginDetails::authorUrl},
    {"license", &PluginDetails::license},
};

QString parsePlugin(const QJsonObject& document, PluginDetails& details) {
    if (!document.contains(kPlugin))
        return {};
    const QJsonValue value = document.value(kPlugin);
    if (!value.isObject())
        return wrongType(QStringLiteral("\"plugin\""), QStringLiteral("an object"), value);
    const QJsonObject plugin = value.toObject();
    for (const DetailField& detail : kDetailFields) {
        const QJsonValue field = plugin.value(QLatin1String(detail.key));
        if (field.isUndefined())
            continue;
        if (!field.isString())
            return wrongType(QStringLiteral("\"%1\" in \"plugin\"").arg(QLatin1String(detail.key)),
                             QStringLiteral("text"), field);
        details.*detail.field = field.toString();
    }
    // PHP and WordPress don't tell "Dup" from "dup" in most names: both are one plugin.
    details.identifier = details.identifier.toLower();
    return {};
}

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

QString FunnelFile::Parse(const QByteArray& json, const PluginDetails& defaults, FunnelFileContent& content) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("The funnel file is not valid JSON (at character %1): %2")
            .arg(parseError.offset)
            .arg(parseError.errorString());
    if (const QString key = FindDuplicateJsonKey(json); !key.isEmpty())
        return QStringLiteral("The funnel file gives \"%1\" twice; keep only one of them.").arg(key);
    if (!document.isObject() || !document.object().contains(kItems))
        return QStringLiteral("The funnel file needs an object with an \"items\" list.");

    FunnelFileContent result;
    result.source = document.object();
    result.details = defaults;
    result.details.identifier.clear();

    const QJsonValue format = result.source.value(QStringLiteral("format"));
    if (!format.isUndefined()) {
        if (!format.isDouble() || format.toDouble() != format.toInt() || format.toInt() < 1)
            return wrongType(QStringLiteral("\"format\""), QStringLiteral("a whole number from 1"), format);
        if (format.toInt() > Format)
            return QStringLiteral("This funnel file has format %1 and was written by a newer Veltrano; "
                                  "this version reads format %2.")
                .arg(format.toInt())
                .arg(Format);
    }

    const QJsonValue items = result.source.value(kItems);
    if (!items.isArray())
        return wrongType(QStringLiteral("\"items\""), QStringLiteral("a list"), items);
    int position = 0;
    for (const QJsonValue& value : items.toArray()) {
        const QString problem = parseItem(value, ++position, result);
        if (!problem.isEmpty())
            return problem;
    }
    if (!result.items.contains(0))
        return QStringLiteral("The funnel needs its front end offer (slot 0).");
    for (auto it = result.items.cbegin(); it != result.items.cend(); ++it)
        if (it.key() != 0 && !result.items.contains(FunnelModel::Parent(it.key())))
            return QStringLiteral("Slot %1 (%2) needs slot %3 (%4) in the funnel too.")
                .arg(it.key())
                .arg(FunnelModel::Title(it.key()))
                .arg(FunnelModel::Parent(it.key()))
                .arg(FunnelModel::Title(FunnelModel::Parent(it.key())));
    if (const QString problem = TokenWeakness(result.tokens); !problem.isEmpty())
        return problem +
               QStringLiteral(" Delete that item's \"tokens\" to have new ones drawn (its pages then "
                              "get new addresses).");
    if (const QString problem = parsePlugin(result.source, result.details); !problem.isEmpty())
        return problem;

    content = result;
    return {};
}

QString FunnelFile::Apply(const FunnelFileContent& content, const ProductCatalogue& catalogue,
                          const QStringList& productChoices, FunnelModel& funnel) {
    for (auto it = content.items.cbegin(); it != content.items.cend(); ++it)
        if (!it->product.isEmpty() && !productChoices.contains(it->product))
            return QStringLiteral("%1: unknown product \"%2\".")
                .arg(FunnelModel::ItemName(it.key()), it->product);

    funnel.Clear();
    funnel.SetProductChoices(productChoices);
    // Ascending slot order adds every parent before its children.
    for (auto it = content.items.cbegin(); it != content.items.cend(); ++it) {
        if (it.key() != 0)
            addSlot(funnel, it.key());
        funnel.SetProductText(it.key(), it->product);
        if (!it->product.isEmpty())
            funnel.SelectProduct(it.key(), catalogue);
        if (it->hasDownload)
            funnel.SetDownloadUrl(it.key(), it->download);
    }
    return {};
}

QByteArray FunnelFile::Write(const FunnelModel& funnel, const PluginDetails& details,
                             const FunnelTokens& tokens, const QJsonObject& source) {
    QMap<int, QJsonObject> knownItems;
    for (const QJsonValue& value : source.value(kItems).toArray()) {
        const QJsonObject item = value.toObject();
        if (item.value(kSlot).isDouble())
            knownItems.insert(item.value(kSlot).toInt(), item);
    }

    QJsonArray items;
    for (int n : funnel.PresentSlots()) {
        QJsonObject item = knownItems.value(n);
        item.insert(kSlot, n);
        item.insert(kProduct, funnel.Slot(n).cboProduct);
        item.insert(kDownload, funnel.Slot(n).txtProductDownloadUrl);
        const QString& sales = tokens.sales[size_t(n)];
        const QString& download = tokens.download[size_t(n)];
        if (!sales.isEmpty() && !download.isEmpty())
            item.insert(kTokens, QJsonObject{{kSales, sales}, {kDownload, download}});
        else
            item.remove(kTokens);
        items.append(item);
    }

    QJsonObject plugin = source.value(kPlugin).toObject();
    for (const DetailField& detail : kDetailFields)
        plugin.insert(QLatin1String(detail.key), details.*detail.field);
    if (details.identifier.isEmpty())
        plugin.remove(QStringLiteral("identifier"));

    QJsonObject document = source;
    document.insert(QStringLiteral("format"), Format);
    document.insert(kItems, items);
    document.insert(kPlugin, plugin);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QString FunnelFile::ReadFile(const QString& path, QByteArray& bytes) {
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("The funnel file %1 does not exist.").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a funnel file.").arg(path);
    if (info.size() > MaximumSize)
        return QStringLiteral("%1 is too large for a funnel file (more than %2 bytes).")
            .arg(path)
            .arg(MaximumSize);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    // The size may have changed since it was looked at.
    bytes = file.read(MaximumSize + 1);
    if (bytes.size() > MaximumSize)
        return QStringLiteral("%1 is too large for a funnel file (more than %2 bytes).")
            .arg(path)
            .arg(MaximumSize);
    return {};
}

QString FunnelFile::WriteFile(const QString& path, const QByteArray& bytes) {
    return UserFile::Write(path, bytes);
}

QString FunnelFile::WriteProblem(const QString& path) {
    return UserFile::WriteProblem(path);
}

QString FunnelFile::Load(const QByteArray& json, const ProductCatalogue& catalogue,
                         const QStringList& productChoices, KelvrinTools& tools, FunnelModel& funnel,
                         PluginDetails& details, FunnelFileContent* content) {
    FunnelFileContent parsed;
    QString problem = Parse(json, details, parsed);
    if (problem.isEmpty())
        problem = Apply(parsed, catalogue, productChoices, funnel);
    if (!problem.isEmpty())
        return problem;
    details = parsed.details;
    if (details.identifier.isEmpty())
        details.identifier = GenerateIdentifier(tools);
    if (content)
        *content = parsed;
    return {};
}
