#pragma once

#include "platform/FileManagerHandOff.h"
#include "platform/Shell.h"

// Shows folders and files in the desktop's file manager.
class DesktopShell final : public Shell {
public:
    DesktopShell();
    bool OpenFolder(const QString& folder) override;
    bool ShowFile(const QString& file) override;

private:
    FileManagerHandOff m_handOff;
};
