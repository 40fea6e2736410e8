#include "platform/FileManagerHandOff.h"

#include <QFileInfo>
#include <QUrl>

FileManagerHandOff::FileManagerHandOff(Services services)
    : m_services(std::move(services)) {}

bool FileManagerHandOff::Call(const QString& method, const QString& path) const {
    return m_services.fileManagerOffered() &&
           m_services.callFileManager(method, {QUrl::fromLocalFile(path).toString()});
}

bool FileManagerHandOff::ShowFile(const QString& file) const {
    const QFileInfo info(file);
    if (info.isFile() && Call(QStringLiteral("ShowItems"), info.absoluteFilePath()))
        return true;
    return OpenFolder(info.absolutePath());
}

bool FileManagerHandOff::OpenFolder(const QString& folder) const {
    if (Call(QStringLiteral("ShowFolders"), folder))
        return true;
    // Only a file manager is given the folder: without one, the desktop's opener hands folders
    // to a web browser (which then writes its profile into the user's home), no place to look
    // after files. The caller says where the folder is instead.
    const std::optional<QStringList> handler = m_services.folderHandler();
    if (!handler || !handler->contains(QStringLiteral("FileManager")))
        return false;
    return m_services.openFolder(folder);
}
