#include "plugin/PluginNames.h"

#include <QCryptographicHash>

PluginNames PluginNames::For(const QString& identifier) {
    PluginNames names;
    names.identifier = identifier;
    names.functionPrefix = QStringLiteral("veltrano_") + identifier + QStringLiteral("__");
    const QString digits =
        QString::fromLatin1(
            QCryptographicHash::hash(identifier.toLower().toUtf8(), QCryptographicHash::Md5).toHex())
            .left(12);
    names.postType = QStringLiteral("funnel_") + digits;
    names.copyType = QStringLiteral("fcopy_") + digits;
    names.slug = QString(identifier).toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    return names;
}

QList<QPair<QString, QString>> PluginNames::Tokens() const {
    return {{QStringLiteral("#fn#"), functionPrefix},
            {QStringLiteral("#posttype#"), postType},
            {QStringLiteral("#copytype#"), copyType},
            {QStringLiteral("#slug#"), slug},
            {QStringLiteral("#prefix#"), identifier}};
}
