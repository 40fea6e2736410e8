#pragma once

#include <QString>

// Shows folders and files in the system file manager without waiting for it.
class Shell {
public:
    virtual ~Shell() = default;
    // False when nothing on the system could show it.
    virtual bool OpenFolder(const QString& folder) = 0;
    // The file's folder with the file selected where the file manager can.
    virtual bool ShowFile(const QString& file) = 0;
};
