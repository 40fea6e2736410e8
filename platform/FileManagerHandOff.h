#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Decides how a file or a folder is shown to the user: by the desktop's file manager service,
// which selects the file, where the session offers one; else by opening the folder with the
// desktop's handler for folders, but only when that handler is a file manager.
class FileManagerHandOff final {
public:
    struct Services {
        // The session offers the file manager service (org.freedesktop.FileManager1).
        std::function<bool()> fileManagerOffered;
        // Calls the service's method ("ShowItems", "ShowFolders") with file URLs; false on failure.
        std::function<bool(const QString& method, const QStringList& uris)> callFileManager;
        // The desktop's handler for folders: its categories, or nothing when there is none.
        std::function<std::optional<QStringList>()> folderHandler;
        // Opens a folder with that handler; false when it could not be started.
        std::function<bool(const QString& folder)> openFolder;
    };

    explicit FileManagerHandOff(Services services);

    // The folder of `file`, with `file` selected where the file manager can; false when
    // nothing could show it.
    bool ShowFile(const QString& file) const;
    bool OpenFolder(const QString& folder) const;

private:
    bool Call(const QString& method, const QString& path) const;

    Services m_services;
};
