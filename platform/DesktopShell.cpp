#include "platform/DesktopShell.h"

#include "platform/FileManagerSession.h"

DesktopShell::DesktopShell()
    : m_handOff(FileManagerSession()) {}

bool DesktopShell::OpenFolder(const QString& folder) {
    return m_handOff.OpenFolder(folder);
}

bool DesktopShell::ShowFile(const QString& file) {
    return m_handOff.ShowFile(file);
}
