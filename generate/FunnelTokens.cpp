#include "generate/FunnelTokens.h"

#include "funnel/FunnelModel.h"
#include "platform/KelvrinTools.h"

#include <QHash>
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

int distinctCharacters(QStringView body) {
    QSet<QChar> seen;
    for (QChar c : body)
        seen.insert(c);
    return int(seen.size());
}

struct Used {
    QSet<QString> tokens;
    QSet<QString> bodies;
    void add(const QString& token, const QString& prefix) {
        tokens.insert(token);
        bodies.insert(token.mid(prefix.size()));
    }
};

void keep(QString& token, const QString& earlier, const QString& prefix, Used& used) {
    if (IsWellFormedToken(earlier, prefix) && !used.tokens.contains(earlier)) {
        used.add(earlier, prefix);
        token = earlier;
    }
}

void draw(QString& token, const QString& prefix, Used& used, KelvrinTools& tools) {
    if (!token.isEmpty())
        return;
    QString body;
    do
        body = tools.RandomLetters(kTokenRandomLength);
    while (used.bodies.contains(body) || distinctCharacters(body) < kTokenMinimumDistinct);
    token = prefix + body;
    used.add(token, prefix);
}

} // namespace

QString TokenWeakness(const FunnelTokens& tokens) {
    struct Named {
        int slot;
        const char* kind;
        QString prefix;
        QString token;
    };
    QList<Named> all;
    for (int n = 0; n < int(tokens.sales.size()); ++n) {
        if (!tokens.sales[size_t(n)].isEmpty())
            all.append({n, "sales", kSales, tokens.sales[size_t(n)]});
        if (!tokens.download[size_t(n)].isEmpty())
            all.append({n, "download", kDownload, tokens.download[size_t(n)]});
    }
    // Sharing first: it names both tokens, whatever their strength.
    QHash<QString, Named> owners;
    for (const Named& t : all) {
        const QString body = t.token.mid(t.prefix.size());
        const auto owner = owners.constFind(body);
        if (owner == owners.cend()) {
            owners.insert(body, t);
            continue;
        }
        if (owner->token == t.token)
            return QStringLiteral("%1: the token \"%2\" is used twice.")
                .arg(FunnelModel::ItemName(t.slot), t.token);
        return QStringLiteral("%1: the %2 token \"%3\" has the same random part as the %4 token of "
                              "%5; every token needs its own.")
            .arg(FunnelModel::ItemName(t.slot), QLatin1String(t.kind), t.token, QLatin1String(owner->kind),
                 FunnelModel::ItemName(owner->slot));
    }
    for (const Named& t : all) {
        const int distinct = distinctCharacters(QStringView(t.token).mid(t.prefix.size()));
        if (distinct < kTokenMinimumDistinct)
            return QStringLiteral("%1: the %2 token \"%3\" is too easy to guess: its random part has "
                                  "%4 different characters, at least %5 are needed.")
                .arg(FunnelModel::ItemName(t.slot), QLatin1String(t.kind), t.token)
                .arg(distinct)
                .arg(kTokenMinimumDistinct);
    }
    return {};
}

FunnelTokens AssignTokens(const QList<int>& shownSlots, const FunnelTokens& earlier, KelvrinTools& tools) {
    FunnelTokens tokens;
    Used used;
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
