#include "plugin/PluginDetails.h"

#include "platform/KelvrinParser.h"
#include "platform/KelvrinTools.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool hasControlCharacter(const QString& text) {
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

} // namespace

bool PluginDetails::AllFieldsFilled() const {
    for (const QString* field :
         {&identifier, &name, &uri, &description, &version, &author, &authorUrl, &license})
        if (field->isEmpty())
            return false;
    return true;
}

QString PluginDetails::SafetyProblem() const {
    // The identifier names the plugin folder and prefixes every PHP name of the plugin.
    static const QRegularExpression identifierPattern(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,19}$"));
    if (!identifierPattern.match(identifier).hasMatch())
        return QStringLiteral(
            "The unique identifier may hold only letters, digits and underscores, must start "
            "with a letter and may be at most 20 characters long.");

    const QString archive = ArchiveName(name);
    if (archive.isEmpty() || archive == QLatin1String(".") || archive == QLatin1String("..") ||
        archive.contains(QLatin1Char('/')) || archive.contains(QLatin1Char('\\')) ||
        hasControlCharacter(archive))
        return QStringLiteral(
            "The plugin name also names the archive, so it must hold more than blanks and must "
            "not contain \"/\", \"\\\" or control characters, nor be \".\" or \"..\".");

    for (const QString* field : {&name, &uri, &description, &version, &author, &authorUrl, &license})
        if (field->contains(QLatin1String("*/")))
            return QStringLiteral(
                "The plugin details must not contain \"*/\": it would end the plugin header.");
    return {};
}

QString GenerateIdentifier(KelvrinTools& tools) {
    const auto first = qint16(tools.RandomNumber(999));
    const auto second = qint16(tools.RandomNumber(999));
    return QStringLiteral("p") + QString::number(first) + QString::number(second);
}

QString ArchiveName(const QString& pluginName) {
    return KelvrinParser::ReplaceText(pluginName, QStringLiteral(" "), QString()).toLower();
}

QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUrl,
                          const QString& license) {
    return QStringList{
        QStringLiteral("<?php"),
        QStringLiteral("/*"),
        QStringLiteral("Plugin Name: ") + name,
        QStringLiteral("Plugin URI: ") + uri,
        QStringLiteral("Description: ") + description,
        QStringLiteral("Version: ") + version,
        QStringLiteral("Author: ") + author,
        QStringLiteral("Author URI: ") + authorUrl,
        QStringLiteral("License: ") + license,
        QStringLiteral("*/"),
        QStringLiteral("?>"),
    }
        .join(QStringLiteral("\r\n"));
}
