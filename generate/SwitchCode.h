#pragma once

#include <QString>

// One PHP case block that selects a funnel item's sales page (isDownload false) or download page
// by its token. Lines end in CR LF; the block ends with "break;" and an empty line.
QString SwitchEntry(int slot, const QString& token, bool isDownload);

// Appends the block to the switch entries gathered so far.
void AddSwitchEntry(QString& txtSwitchEntries, int slot, const QString& token, bool isDownload);
