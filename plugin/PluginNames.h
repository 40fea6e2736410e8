#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Every name a generated plugin defines in WordPress, derived from its identifier here and
// nowhere else, so that two plugins never meet: identifiers are lower case (PHP and WordPress
// compare most names without regard to case), and the prefix of functions, constants,
// options, nonces and tables ends in "__", which no name of the skeleton holds after it, so
// the prefixes of "x" and "x_register" can never nest.
struct PluginNames {
    static PluginNames For(const QString& identifier);

    // Text domain, meta key prefix and CSS class prefix: the identifier itself, as plugins
    // built before kept them (funnels' fields and translations survive an update).
    QString identifier;
    // "veltrano_<identifier>__".
    QString functionPrefix;
    // "funnel_" and twelve hex digits of the identifier's MD5: short enough for WordPress's
    // 20-character limit, never one of its own keys.
    QString postType;
    // The sales copy's post type: "fcopy_" and the same twelve digits (18 characters).
    QString copyType;
    // The pretty addresses' base: the identifier with "-" for "_".
    QString slug;

    // The skeleton's tokens for these names.
    QList<QPair<QString, QString>> Tokens() const;
};
