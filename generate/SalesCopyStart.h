#pragma once

#include <QString>

// The sales copy a new funnel item starts from in the plugin, as the serialized WordPress block
// markup the block editor opens: headings, paragraphs and lists taken from a built-in product's
// preview page, or a heading with the product's name where there is no page to take them from.
// The text is data the plugin reads, escaped as WordPress stores it; it ends in a line feed.
class SalesCopyStart {
public:
    // `previewPage` is the path of the product's preview page, empty for a custom product. A page
    // that is missing, unreadable or holds no copy gives the name heading; this never throws.
    static QString ForProduct(const QString& productName, const QString& previewPage);
    // The copy of a preview page's text, or the name heading when the page holds none.
    static QString FromPreviewHtml(const QString& html, const QString& productName);
    static QString NameHeading(const QString& productName);
};
