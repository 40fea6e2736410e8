#pragma once

#include <QByteArray>
#include <QString>

// QJsonDocument keeps the last of two equal keys in an object and drops the other without a word,
// so a funnel file edited by hand could build with a value its author never meant. This scanner
// reads the text of a document QJsonDocument accepted and names the first key that an object
// holds twice, as a path: "plugin.identifier", "items[1].product" (list positions count from 0).
// Keys are compared after their escapes are decoded, as the parser compares them. Returns empty
// text when every key is unique.
QString FindDuplicateJsonKey(const QByteArray& json);
