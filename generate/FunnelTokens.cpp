#include "generate/FunnelTokens.h"

#include "platform/KelvrinTools.h"

#include <QSet>

bool IsWellFormedToken(const QString& token, const QString& prefix) {
    if (!token.startsWith(prefix))
        return false;
    const qsizetype length = token.size() - prefix.size();
    if (length < 20 || length > 64)
        return false;
    for (qsizetype i = prefix.size(); i < token.size(); ++i) {
        const char16_t c = token.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

namespace {

const QString kSales = QStringLiteral("sp");
const QString kDownload = QStringLiteral("dld");

void keep(QString& token, const QString& earlier, const QString& prefix, QSet<QString>& used) {
    if (IsWellFormedToken(earlier, prefix) && !used.contains(earlier)) {
        used.insert(earlier);
        token = earlier;
    }
}

void draw(QString& token, const QString& prefix, QSet<QString>& used, KelvrinTools& tools) {
    if (!token.isEmpty())
        return;
    do
        token = prefix + tools.RandomLetters(kTokenRandomLength);
    while (used.contains(token));
    used.insert(token);
}

} // namespace

FunnelTokens AssignTokens(const QList<int>& shownSlots, const FunnelTokens& earlier, KelvrinTools& tools) {
    FunnelTokens tokens;
    QSet<QString> used;
    // Earlier tokens are claimed first, so a fresh draw can never take an address already given out.
    for (int slot : shownSlots) {
        const auto n = size_t(slot);
        keep(tokens.sales[n], earlier.sales[n], kSales, used);
        keep(tokens.download[n], earlier.download[n], kDownload, used);
    }
    for (int slot : shownSlots) {
        const auto n = size_t(slot);
        draw(tokens.sales[n], kSales, used, tools);
        draw(tokens.download[n], kDownload, used, tools);
    }
    return tokens;
}
