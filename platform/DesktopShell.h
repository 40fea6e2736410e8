#pragma once

#include "platform/Shell.h"

// Opens folders in the desktop's file manager.
class DesktopShell final : public Shell {
public:
    void OpenFolder(const QString& folder) override;
};
