#pragma once

#include "generate/FunnelTokens.h"

#include <QString>

// What one generation hands to the plugin build.
struct GenerationResult {
    // Every shown item's metabox + LF, then LF and the closing text.
    QString metaboxes;
    // Every shown item's sales and download case blocks.
    QString switchEntries;
    // The tokens every shown item was given.
    FunnelTokens tokens;
};
