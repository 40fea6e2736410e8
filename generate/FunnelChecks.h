#pragma once

#include "catalogue/WebAddress.h"

#include <QString>

class FunnelModel;
class ProductCatalogue;

// Why the funnel can't be turned into a safe plugin, or empty text. Checked before anything is
// written: symbolic links in a custom product, sales page images that are not images, and
// download addresses that are not web addresses. A missing image file is left to the
// generation, which reports it in its own words.
QString FunnelRefusal(const FunnelModel& funnel, const ProductCatalogue& catalogue);

// The same checks for one shown item with a product: why it can't be built, or empty text.
// The item is named by its product and title, or by `itemName` where the text is shown beside
// the item itself.
QString ItemRefusal(const FunnelModel& funnel, int slot, const ProductCatalogue& catalogue,
                    const QString& itemName = {});
