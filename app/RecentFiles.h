#pragma once

#include <QStringList>

class QSettings;

// The funnel files opened or saved last, newest first, kept in the settings when there are any
// (otherwise for this run only).
class RecentFiles {
public:
    static constexpr int Maximum = 8;

    explicit RecentFiles(QSettings* settings);

    QStringList Files() const { return m_files; }
    // Puts the file first; the same file is listed once, however it was named.
    void Add(const QString& path);
    void Remove(const QString& path);
    void Clear();

private:
    void Store();

    QSettings* m_settings;
    QStringList m_files;
};
