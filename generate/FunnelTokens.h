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

// The random part of a token needs at least this many different characters, so that a repeated
// character or a short pattern is refused. Of the bodies the program draws (24 characters, each one
// of 36), fewer than 7 different characters occur with a probability of 3.8e-13, about 2^-41 (for
// the shortest body accepted, 20 characters, 4.5e-10): a real draw practically never fails, and
// the program draws again when one does.
constexpr int kTokenMinimumDistinct = 7;

// Why the tokens could be guessed or taken for one another, naming the first such token with its
// slot, or empty text: two tokens with the same random part (the part after "sp" or "dld", so also
// a sales and a download token), or a random part with fewer than kTokenMinimumDistinct different
// characters. Empty tokens are skipped.
QString TokenWeakness(const FunnelTokens& tokens);

// Tokens for the given slots: a well-formed earlier token of the slot is kept (the addresses a
// payment provider points at keep working), every other one is drawn anew, with a random part of its own that
// TokenWeakness accepts. No two tokens of the result are equal.
FunnelTokens AssignTokens(const QList<int>& shownSlots, const FunnelTokens& earlier, KelvrinTools& tools);
