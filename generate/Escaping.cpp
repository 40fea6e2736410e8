#include "generate/Escaping.h"

QString HtmlEscaped(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#039;"));
}

QString PhpSingleQuoted(const QString& text) {
    QString result = text;
    return result.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
}
