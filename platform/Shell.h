#pragma once

#include <QString>

// Opens a folder in the system file manager without waiting for it.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void OpenFolder(const QString& folder) = 0;
};
