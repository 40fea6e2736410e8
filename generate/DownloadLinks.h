#pragma once

#include <QList>
#include <QString>

class FunnelModel;

// The slots whose products a slot's download page links, in order: the way down from the front
// end to the slot, leaving out a downsell's own upsell. Empty for a number outside 0 to 4.
QList<int> LinkedSlots(int slot);

// Replaces `txtDownloadItems` with the download links of `slot`: one list item per link, joined
// by line feeds, none after the last; the page puts them into its list. Names and addresses are
// HTML-escaped. A number outside 0 to 4 leaves the
// text unchanged.
void BuildDownloadLinks(const FunnelModel& funnel, int slot, QString& txtDownloadItems);
