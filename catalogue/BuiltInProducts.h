#pragma once

#include <QString>
#include <QStringList>

namespace BuiltInProducts {

// The twenty built-in products in the order every product list shows them.
const QStringList& Names();

// Base address of the download server; a product's address is base + id + ".html".
QString DownloadServerBase();

} // namespace BuiltInProducts
