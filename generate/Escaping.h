#pragma once

#include <QString>

// Values from a funnel or a product are data, never code: each is written for the place where
// it lands.

// Text or an attribute value in HTML: & < > " and ' become character references, written as
// WordPress's own escaping writes them (&#039;), so wp_kses() prints them unchanged.
QString HtmlEscaped(const QString& text);

// The inside of a PHP single-quoted string: backslashes and quotes are escaped, so the value
// can't close the string.
QString PhpSingleQuoted(const QString& text);
