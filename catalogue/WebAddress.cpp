#include "catalogue/WebAddress.h"

#include <QUrl>

bool IsWebAddress(const QString& address) {
    const QString text = QString(address).remove(QStringLiteral("\r\n"));
    for (QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}
