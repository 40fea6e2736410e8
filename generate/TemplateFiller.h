#pragma once

#include <QList>
#include <QPair>
#include <QString>

using TokenValues = QList<QPair<QString, QString>>;

// Replaces each token of `text` by its value, one pair after the other, every occurrence,
// exactly as written; values are inserted unchanged.
QString FillTokens(const QString& text, const TokenValues& tokens);

// Loads the template at `path` (a missing template throws BuildError) and fills its tokens.
QString FillTemplate(const QString& path, const TokenValues& tokens);
