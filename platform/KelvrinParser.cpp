#include "platform/KelvrinParser.h"

QString KelvrinParser::ReplaceText(const QString& text, const QString& find, const QString& replacement,
                                   int /*mode*/) {
    if (find.isEmpty())
        return text;
    QString result = text;
    result.replace(find, replacement, Qt::CaseSensitive);
    return result;
}
