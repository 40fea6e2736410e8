#pragma once

#include <QString>

// True when `identifier` would take a name that WordPress keeps for itself: a public query
// variable, a rewrite base or a path of its own. The identifier names the plugin's pretty
// addresses (lower case, "_" written as "-"), so such a name breaks the site's own URLs.
bool IsWordPressReservedName(const QString& identifier);
