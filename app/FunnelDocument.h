#pragma once

#include "app/RecentFiles.h"
#include "funnel/FunnelModel.h"
#include "plugin/FunnelFile.h"
#include "plugin/PluginDetails.h"

#include <QJsonObject>
#include <QObject>

class ProductCatalogue;
class QSettings;

// The funnel the main window edits, as a document: the funnel, its plugin details and tokens,
// the file it came from, whether it changed since, the recent files and the defaults remembered
// for new funnels. Settings may be absent: then nothing outlives the run.
class FunnelDocument final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FunnelDocument)

public:
    FunnelDocument(const ProductCatalogue& catalogue, QSettings* settings, QObject* parent = nullptr);

    FunnelModel& model() { return m_model; }
    const FunnelModel& model() const { return m_model; }
    // The identifier is empty until one is drawn for the funnel.
    const PluginDetails& details() const { return m_details; }
    const FunnelTokens& tokens() const { return m_tokens; }
    // Empty for a funnel that was never saved.
    const QString& filePath() const { return m_filePath; }
    bool isModified() const { return m_modified; }
    RecentFiles& recentFiles() { return m_recent; }

    // `base` alone while no file is open; else the file's name before it, marked "*" when modified.
    QString Caption(const QString& base) const;
    // The details a new funnel starts with: the window's defaults with the author, author address
    // and licence the user gave last.
    PluginDetails NewDetails() const;

    void New();
    // Empty on success; on failure the current funnel stays as it was.
    QString Open(const QString& path);
    QString SaveAs(const QString& path);
    // A successful build: its details and tokens become the funnel's, so the next build makes the
    // same plugin at the same addresses; the author, address and licence become the defaults.
    void KeepBuild(const PluginDetails& details, const FunnelTokens& tokens);
    // Saves the funnel beside a plugin built from it, as "<archive name>.veltrano"; a funnel
    // without a file takes that file as its own. The path written, or empty when it failed.
    QString KeepBeside(const QString& archive);

signals:
    // The file, the modified state or the recent files changed.
    void stateChanged();

private:
    QByteArray Snapshot() const;
    void MarkSaved();
    void UpdateModified();

    const ProductCatalogue& m_catalogue;
    QSettings* m_settings;
    RecentFiles m_recent;
    FunnelModel m_model;
    PluginDetails m_details;
    FunnelTokens m_tokens;
    QJsonObject m_source;
    QString m_filePath;
    QByteArray m_saved;
    bool m_modified = false;
};
