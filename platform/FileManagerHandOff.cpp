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
    // Without a file manager the desktop hands folders to a web browser, which is no place
    // to look after files.
    const std::optional<QStringList> handler = m_services.folderHandler();
    if (!handler || handler->contains(QStringLiteral("WebBrowser")))
        return false;
    return m_services.openFolder(folder);
}
