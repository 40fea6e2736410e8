#pragma once

#include <QString>

class KelvrinParser {
public:
    // Every occurrence of `find` replaced, matched exactly (case included). An empty `find`
    // leaves the text as it is. `mode` is always 0 and has no other meaning.
    static QString ReplaceText(const QString& text, const QString& find, const QString& replacement,
                               int mode = 0);
};
