#pragma once

#include <QString>

struct PluginDetails;

// What WordPress and its plugin directory read about a plugin: the header of its main file and
// its readme.txt.
namespace PluginMetadata {

// The oldest WordPress the plugin is proven on: the end-to-end test runs every generated plugin on
// Debian 12's WordPress 6.1. TestedUpTo is the newest release it passed on, run locally against
// that release's tree (README.md); the test refuses a figure below the WordPress it runs on.
inline const QString RequiresWordPress = QStringLiteral("6.1");
inline const QString TestedUpTo = QStringLiteral("7.1");
// The oldest PHP every generated file is linted on (tests/php-versions), which checks this figure.
inline const QString RequiresPhp = QStringLiteral("7.4");
inline const QString DefaultLicense = QStringLiteral("GPL-2.0-or-later");

// The address of the licence's text for the common SPDX names, else empty text.
QString LicenseUri(const QString& license);

// The description as one header line: every line break becomes a blank.
QString HeaderDescription(const QString& description);

// The plugin header: "<?php" and one doc block, a line per field, LF line ends and none after the
// last. Fields left empty are left out; the text domain is the identifier, which is also the
// plugin's folder name.
QString BuildPluginHeader(const PluginDetails& details);

// The author's name as a wordpress.org user name, as readme.txt's Contributors line takes it: small
// letters and digits only, accents dropped, at most 50 characters; empty when nothing is left.
QString Contributor(const QString& author);

// readme.txt in the plugin directory's format, with the header's figures.
QString BuildReadme(const PluginDetails& details);

} // namespace PluginMetadata
