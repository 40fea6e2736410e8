#include "app/FunnelDocument.h"

#include "catalogue/ProductCatalogue.h"
#include "plugin/FunnelFileLock.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kAuthor = QStringLiteral("defaults/author");
const QString kAuthorUrl = QStringLiteral("defaults/authorUrl");
const QString kLicense = QStringLiteral("defaults/license");

} // namespace

FunnelDocument::FunnelDocument(const ProductCatalogue& catalogue, QSettings* settings, QObject* parent)
    : QObject(parent)
    , m_catalogue(catalogue)
    , m_settings(settings)
    , m_recent(settings)
    , m_details(NewDetails()) {
    connect(&m_model, &FunnelModel::changed, this, &FunnelDocument::UpdateModified);
    MarkSaved();
}

QString FunnelDocument::Caption(const QString& base) const {
    // A new funnel that was changed is marked too: quitting asks to save it.
    if (m_filePath.isEmpty())
        return m_modified ? QStringLiteral("*Untitled - ") + base : base;
    return (m_modified ? QStringLiteral("*") : QString()) + QFileInfo(m_filePath).fileName() +
           QStringLiteral(" - ") + base;
}

PluginDetails FunnelDocument::NewDetails() const {
    PluginDetails details;
    if (m_settings) {
        details.author = m_settings->value(kAuthor, details.author).toString();
        details.authorUrl = m_settings->value(kAuthorUrl, details.authorUrl).toString();
        details.license = m_settings->value(kLicense, details.license).toString();
    }
    return details;
}

QByteArray FunnelDocument::Snapshot() const {
    return FunnelFile::Write(m_model, m_details, m_tokens);
}

void FunnelDocument::MarkSaved() {
    m_saved = Snapshot();
    m_modified = false;
    emit stateChanged();
}

void FunnelDocument::UpdateModified() {
    const bool modified = Snapshot() != m_saved;
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit stateChanged();
}

void FunnelDocument::New() {
    m_model.Clear();
    m_details = NewDetails();
    m_tokens = {};
    m_source = {};
    m_filePath.clear();
    MarkSaved();
}

QString FunnelDocument::Open(const QString& path) {
    QByteArray json;
    QString problem = FunnelFile::ReadFile(path, json);
    if (!problem.isEmpty()) {
        if (!QFileInfo::exists(path))
            m_recent.Remove(path);
        emit stateChanged();
        return problem;
    }
    FunnelFileContent content;
    problem = FunnelFile::Parse(json, NewDetails(), content);
    if (problem.isEmpty())
        problem = FunnelFile::Apply(content, m_catalogue, m_model.ProductChoices(), m_model);
    if (!problem.isEmpty())
        return problem;
    m_details = content.details;
    m_tokens = content.tokens;
    m_source = content.source;
    m_filePath = QFileInfo(path).absoluteFilePath();
    m_recent.Add(m_filePath);
    MarkSaved();
    return {};
}

QString FunnelDocument::SaveAs(const QString& path) {
    // A build of this file from the command line may be about to write its identifier into it.
    const FunnelFileLock lock(path);
    if (lock.isBusy())
        return lock.problem();
    const QString problem =
        FunnelFile::WriteFile(path, FunnelFile::Write(m_model, m_details, m_tokens, m_source));
    if (!problem.isEmpty())
        return problem;
    m_filePath = QFileInfo(path).absoluteFilePath();
    m_recent.Add(m_filePath);
    MarkSaved();
    return {};
}

QString FunnelDocument::KeepBeside(const QString& archive) {
    const QFileInfo info(archive);
    const QString path = info.dir().filePath(info.completeBaseName() + QStringLiteral(".veltrano"));
    const FunnelFileLock lock(path);
    if (lock.isBusy() ||
        !FunnelFile::WriteFile(path, FunnelFile::Write(m_model, m_details, m_tokens, m_source)).isEmpty())
        return {};
    if (m_filePath.isEmpty()) {
        m_filePath = QFileInfo(path).absoluteFilePath();
        m_recent.Add(m_filePath);
        MarkSaved();
    }
    return path;
}

void FunnelDocument::KeepBuild(const PluginDetails& details, const FunnelTokens& tokens) {
    m_details = details;
    m_tokens = tokens;
    if (m_settings) {
        m_settings->setValue(kAuthor, details.author);
        m_settings->setValue(kAuthorUrl, details.authorUrl);
        m_settings->setValue(kLicense, details.license);
    }
    UpdateModified();
}
