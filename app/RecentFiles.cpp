#include "app/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kKey = QStringLiteral("recentFiles");

QString normalised(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

RecentFiles::RecentFiles(QSettings* settings)
    : m_settings(settings) {
    if (!m_settings)
        return;
    // Settings edited by hand may repeat a file or hold too many.
    for (const QString& file : m_settings->value(kKey).toStringList())
        if (!file.isEmpty() && !m_files.contains(normalised(file)) && m_files.size() < Maximum)
            m_files << normalised(file);
}

void RecentFiles::Add(const QString& path) {
    const QString file = normalised(path);
    m_files.removeAll(file);
    m_files.prepend(file);
    while (m_files.size() > Maximum)
        m_files.removeLast();
    Store();
}

void RecentFiles::Remove(const QString& path) {
    if (m_files.removeAll(normalised(path)) > 0)
        Store();
}

void RecentFiles::Clear() {
    m_files.clear();
    Store();
}

void RecentFiles::Store() {
    if (m_settings)
        m_settings->setValue(kKey, m_files);
}
