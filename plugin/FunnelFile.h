#pragma once

#include "plugin/PluginDetails.h"

#include <QString>

class FunnelModel;
class KelvrinTools;
class ProductCatalogue;

// A funnel described in JSON, for building plugins without a window:
//   { "items":  [ { "slot": 0, "product": "Traffic Magnet Pro", "download": "https://..." }, ... ],
//     "plugin": { "identifier": "p123", "name": "My Plugin", "uri": "...", "description": "...",
//                 "version": "1.0", "author": "...", "authorUrl": "...", "license": "GPL" } }
// "download" overrides the address the product resolves to; plugin fields left out keep the
// window's defaults, and a missing identifier is generated.
class FunnelFile {
public:
    // Fills `funnel` and `details`; returns an error message, or empty text on success.
    static QString Load(const QByteArray& json, const ProductCatalogue& catalogue,
                        const QStringList& productChoices, KelvrinTools& tools, FunnelModel& funnel,
                        PluginDetails& details);
};
