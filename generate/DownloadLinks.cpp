#include "generate/DownloadLinks.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/Escaping.h"
#include "platform/KelvrinParser.h"

#include <QStringList>

QList<int> LinkedSlots(int slot) {
    switch (slot) {
    case 0:
        return {0};
    case 1:
        return {0, 1};
    case 2:
        return {0, 1, 2};
    case 3:
        return {0, 3};
    case 4:
        return {0, 1, 4};
    default:
        return {};
    }
}

void BuildDownloadLinks(const FunnelModel& funnel, int slot, QString& txtDownloadItems) {
    const QList<int> linked = LinkedSlots(slot);
    if (linked.isEmpty())
        return;
    QStringList links;
    for (int k : linked) {
        const FunnelSlot& item = funnel.Slot(k);
        const QString name =
            KelvrinParser::ReplaceText(item.cboProduct, ProductCatalogue::CustomPrefix(), QString());
        const QString address =
            KelvrinParser::ReplaceText(item.txtProductDownloadUrl, QStringLiteral("\r\n"), QString());
        links << QStringLiteral("<li><a href=\"") + HtmlEscaped(address) +
                     QStringLiteral("\" target=\"_blank\" rel=\"noopener noreferrer\">") + HtmlEscaped(name) +
                     QStringLiteral("</a></li>");
    }
    txtDownloadItems = links.join(QLatin1Char('\n'));
}
