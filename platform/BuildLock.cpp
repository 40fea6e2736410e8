#include "platform/BuildLock.h"

QString BuildLock::BusyMessage() {
    return QStringLiteral("Another plugin is being built in this application folder. Wait until it is "
                          "finished, then try again.");
}
