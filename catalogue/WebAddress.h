#pragma once

#include <QString>

// True for an absolute http or https address with a host, as QUrl reads it strictly; line
// breaks are removed first, as the download links remove them.
bool IsWebAddress(const QString& address);
