#pragma once

#include <QList>
#include <QString>
#include <array>

class KelvrinTools;

// The two tokens of every funnel item, by slot: "sp" or "dld" followed by lowercase letters and
// digits that no visitor can guess. Empty where a slot has none.
struct FunnelTokens {
    std::array<QString, 5> sales;
    std::array<QString, 5> download;

    bool operator==(const FunnelTokens&) const = default;
};

// 24 letters or digits carry about 124 bits.
constexpr int kTokenRandomLength = 24;

// True for the prefix followed by 20 to 64 lowercase letters or digits: at least 103 bits, and
// WordPress's sanitize_key() leaves it unchanged.
bool IsWellFormedToken(const QString& token, const QString& prefix);

// Tokens for the given slots: a well-formed earlier token of the slot is kept (the addresses a
// payment provider points at keep working), every other one is drawn anew. No two tokens of the
// result are equal.
FunnelTokens AssignTokens(const QList<int>& shownSlots, const FunnelTokens& earlier, KelvrinTools& tools);
