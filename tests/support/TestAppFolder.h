#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// A fresh application folder in a temporary directory: the shipped data with empty temp and
// output folders, removed when the test ends.
class TestAppFolder {
public:
    TestAppFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    // Writes `content` to `relative`, making its folders.
    void write(const QString& relative, const QByteArray& content) const;
    QByteArray read(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};

// Every entry below `folder` (its path from there, "/a/b") with its content, "(folder)" for a
// folder: two snapshots are equal when nothing below was added, removed or changed.
QMap<QString, QByteArray> FolderSnapshot(const QString& folder);
