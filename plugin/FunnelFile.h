#pragma once

#include "generate/FunnelTokens.h"
#include "plugin/PluginDetails.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

class FunnelModel;
class KelvrinTools;
class ProductCatalogue;

// One funnel item as the file holds it.
struct FunnelFileItem {
    QString product;
    QString download;
    bool hasDownload = false;
};

// Everything a funnel file holds, read and checked but not yet applied to a funnel.
struct FunnelFileContent {
    QMap<int, FunnelFileItem> items;
    PluginDetails details;
    // Empty for the slots that were never built.
    FunnelTokens tokens;
    // The file's object as read: saving again keeps the fields this version does not know.
    QJsonObject source;
};

// The funnel file, shared by the window (File > Open, Save) and `veltrano build`:
//   { "format": 1,
//     "items":  [ { "slot": 0, "product": "Traffic Magnet Pro", "download": "https://...",
//                   "tokens": { "sales": "sp...", "download": "dld..." } }, ... ],
//     "plugin": { "identifier": "p123", "name": "My Plugin", "uri": "...", "description": "...",
//                 "version": "1.0", "author": "...", "authorUrl": "...", "license": "GPL-2.0-or-later" } }
// Only "items" is required. "download" overrides the address the product resolves to; plugin
// fields left out keep the defaults; "tokens" are written once the funnel was built, so a rebuild
// keeps the pages' addresses. Unknown fields are ignored on reading and kept on saving; a field
// of the wrong type is refused with a message that names it.
class FunnelFile {
public:
    static constexpr int Format = 1;
    // Larger files are not funnels: reading stops before taking them into memory.
    static constexpr qint64 MaximumSize = 1024 * 1024;

    // Checks the text and fills `content`, its details starting from `defaults`; returns an
    // error message, or empty text on success.
    static QString Parse(const QByteArray& json, const PluginDetails& defaults, FunnelFileContent& content);
    // Shows the content's items in `funnel` (which is cleared first): products resolved through
    // the catalogue, then the saved download addresses. Returns an error message and leaves the
    // funnel unchanged when a product is not among `productChoices`.
    static QString Apply(const FunnelFileContent& content, const ProductCatalogue& catalogue,
                         const QStringList& productChoices, FunnelModel& funnel);
    // The file for the funnel's shown slots, the details and the tokens of shown slots; fields of
    // `source` this version does not know are kept.
    static QByteArray Write(const FunnelModel& funnel, const PluginDetails& details,
                            const FunnelTokens& tokens, const QJsonObject& source = {});

    // Reads a file from disk: a plain file of at most MaximumSize bytes. Returns an error message.
    static QString ReadFile(const QString& path, QByteArray& bytes);
    // Replaces the file at `path` only once the new one is completely written, keeping its owner,
    // permissions and other names (see UserFile). Returns an error message.
    static QString WriteFile(const QString& path, const QByteArray& bytes);
    // Why WriteFile would fail for `path` (a read-only file or folder), or empty text.
    static QString WriteProblem(const QString& path);

    // Parse and Apply in one for the command line; a missing identifier is generated.
    static QString Load(const QByteArray& json, const ProductCatalogue& catalogue,
                        const QStringList& productChoices, KelvrinTools& tools, FunnelModel& funnel,
                        PluginDetails& details, FunnelFileContent* content = nullptr);
};
