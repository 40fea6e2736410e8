#include "plugin/PluginBuilder.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/Escaping.h"
#include "generate/FunnelChecks.h"
#include "generate/FunnelGenerator.h"
#include "generate/TemplateFiller.h"
#include "platform/BuildError.h"
#include "platform/BuildLock.h"
#include "platform/KelvrinFile.h"
#include "platform/KelvrinTools.h"
#include "platform/KillFldr.h"
#include "platform/PathRules.h"
#include "platform/ZipPacker.h"
#include "plugin/PluginDetails.h"
#include "plugin/PluginMetadata.h"
#include "plugin/PluginNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// Removes whatever stands at `path`: a folder with its contents, or a link or file itself, never
// what a link points to. True when nothing is left there.
bool removePluginFolder(const QString& path, const QStringList& writableRoots) {
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile())
        return QFile::remove(path);
    if (info.isDir())
        return KillFolder(path, writableRoots);
    return true;
}

} // namespace

PluginBuilder::PluginBuilder(AppRoots roots, KelvrinTools& tools, Messages& messages)
    : m_roots(std::move(roots))
    , m_tools(tools)
    , m_messages(messages) {}

QString PluginBuilder::Refusal(const PluginDetails& details) {
    if (!details.RequiredFieldsFilled())
        return QStringLiteral("The unique identifier and the plugin name are required.");
    return details.SafetyProblem();
}

QString PluginBuilder::Refusal(const FunnelModel& funnel, const PluginDetails& details) const {
    if (!m_roots.Problem().isEmpty())
        return m_roots.Problem();
    QString refusal = Refusal(details);
    if (refusal.isEmpty())
        refusal = PathLengthProblem(details, PathRules::Native());
    if (!refusal.isEmpty())
        return refusal;
    return FunnelRefusal(funnel, ProductCatalogue(m_roots));
}

QString PluginBuilder::PathLengthProblem(const PluginDetails& details, const PathRules& rules) const {
    if (rules.longestPath <= 0)
        return {};
    // The plugin folder's deepest file: the skeleton's, or a page the assembly adds to its
    // template folder. Every folder the build makes lies at least 12 units above one of these
    // files, which keeps it within the shorter limit Windows sets for folders.
    const int last = FunnelModel::SlotCount - 1;
    const QString page = QFileInfo(FunnelGenerator::SalesPageFile(last)).fileName();
    int deepestInPlugin = int(qstrlen("modules/template/") + page.size());
    const QString skeleton = m_roots.Shipped() + QStringLiteral("/plugintemplate");
    for (QDirIterator it(skeleton, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
        deepestInPlugin = std::max(deepestInPlugin, int(it.next().size() - skeleton.size() - 1));
    const QList<QPair<QString, qsizetype>> deepest{
        {m_roots.WorkArea(), PluginFolder(details).size() + 1 + deepestInPlugin},
        // libzip's temporary file beside the archive, eight hexadecimal digits on Windows.
        {m_roots.Output(), ArchivePath(details).size() + qsizetype(qstrlen(".part.0a1b2c3d"))},
        {m_roots.WorkArea(),
         m_roots.WorkArea().size() + 1 + FunnelGenerator::TokenFile(last, QStringLiteral("downloadpage")).size()},
    };
    for (const auto& [folder, length] : deepest)
        if (length > rules.longestPath)
            return QStringLiteral("The folder %1 lies too deep for Windows: the plugin's files in it "
                                  "would have paths of %2 characters, and Windows takes at most %3. Move "
                                  "the folder closer to the top of its drive.")
                .arg(QDir::toNativeSeparators(folder))
                .arg(length)
                .arg(rules.longestPath);
    return {};
}

QString PluginBuilder::ErrorMessage(int number, const QString& description) {
    return QStringLiteral("Error during plugin creation. Error Number:") + QString::number(number) +
           QStringLiteral(" Description:") + description;
}

QString PluginBuilder::ArchivePath(const PluginDetails& details) const {
    return m_roots.Output() + QStringLiteral("/") + ArchiveName(details.name) + QStringLiteral(".zip");
}

void PluginBuilder::FillPluginFile(const QString& path, const QList<QPair<QString, QString>>& tokens) {
    QString text;
    KelvrinFile::LoadTextFile(text, path);
    KelvrinFile::SaveTextFile(FillTokens(text, tokens), path);
}

QString PluginBuilder::Assemble(const PluginDetails& details, const GenerationResult& generation) {
    const QString output = m_roots.Output();
    const QString pluginFolder = PluginFolder(details);
    if (!KelvrinTools::PathExists(output, true))
        throw BuildError(BuildError::PathNotFound,
                         QStringLiteral("The output folder is missing: %1").arg(output));
    // Assembled in the work area, which is the program's own: a folder of the user's in the output
    // folder may have the identifier's name. One left there by an earlier build would bring its
    // old pages and images into the archive.
    const QString assembly = AssemblyFolder();
    if (!removePluginFolder(assembly, m_roots.WritableRoots()))
        throw BuildError(BuildError::PermissionDenied,
                         QStringLiteral("Cannot remove the earlier plugin folder %1").arg(assembly));
    if (!QDir().mkdir(assembly) || !QDir().mkdir(pluginFolder))
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot create the plugin folder %1").arg(pluginFolder));

    const QString skeleton = m_roots.Shipped() + QStringLiteral("/plugintemplate");
    const QString templateFolder = pluginFolder + QStringLiteral("/modules/template");
    KelvrinFile::CopyFolder(skeleton, pluginFolder);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    if (!KelvrinTools::PathExists(templateFolder, true))
        throw BuildError(
            BuildError::PathNotFound,
            QStringLiteral("The plugin skeleton has no folder modules/template: %1").arg(skeleton));
    KelvrinFile::CopyFolder(m_roots.WorkArea() + QStringLiteral("/images"), templateFolder);

    const auto names = PluginNames::For(details.identifier).Tokens();
    const QString pages = m_roots.WorkArea() + QStringLiteral("/php");
    if (!KelvrinTools::PathExists(pages, true))
        throw BuildError(BuildError::PathNotFound, QStringLiteral("Folder not found: %1").arg(pages));
    for (const QString& name : QDir(pages).entryList(QDir::Files, QDir::Name)) {
        const QString path = pages + QLatin1Char('/') + name;
        QString text;
        KelvrinFile::LoadTextFile(text, path);
        KelvrinFile::SaveTextFile(
            FillTokens(text, QList<QPair<QString, QString>>{{QStringLiteral("#PLUGINID#"), details.identifier}} +
                                 names),
            path);
    }
    KelvrinFile::CopyFolder(pages, templateFolder);
    // The starting copies are data the plugin reads: no names are filled into them.
    const QString copyFolder = pluginFolder + QStringLiteral("/modules/copy");
    if (!QDir().mkpath(copyFolder))
        throw BuildError(BuildError::PathFileAccess,
                         QStringLiteral("Cannot create the plugin folder %1").arg(copyFolder));
    KelvrinFile::CopyFolder(m_roots.WorkArea() + QStringLiteral("/copy"), copyFolder);

    FillPluginFile(
        templateFolder + QStringLiteral("/template.php"),
        QList<QPair<QString, QString>>{{QStringLiteral("#SWITCHENTRIES#"), generation.switchEntries}} +
            names);
    // Every other code file of the skeleton gets the names, wherever it lies, so that a file
    // added to the skeleton needs nothing here; the pages from the work area are already filled.
    const QStringList filledApart{QStringLiteral("plugin.php"),
                                  QStringLiteral("modules/template/template.php")};
    for (QDirIterator it(skeleton, {QStringLiteral("*.php"), QStringLiteral("*.js"), QStringLiteral("*.css")},
                         QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString relative = QDir(skeleton).relativeFilePath(it.next());
        if (!filledApart.contains(relative))
            FillPluginFile(pluginFolder + QLatin1Char('/') + relative, names);
    }
    // The metaboxes go in before the names are filled, since they name the text domain; the
    // user's values come last, so nothing in them is taken for a token. The menu name lands in
    // a single-quoted PHP string that it cannot close.
    FillPluginFile(
        pluginFolder + QStringLiteral("/plugin.php"),
        QList<QPair<QString, QString>>{{QStringLiteral("#FUNNELMETABOXES#"), generation.metaboxes}} + names +
            QList<QPair<QString, QString>>{
                {QStringLiteral("#header#"), PluginMetadata::BuildPluginHeader(details)},
                {QStringLiteral("#menuname#"), PhpSingleQuoted(details.name)},
            });
    KelvrinFile::SaveTextFile(PluginMetadata::BuildReadme(details),
                              pluginFolder + QStringLiteral("/readme.txt"));
    return pluginFolder;
}

QString PluginBuilder::AssemblyFolder() const {
    return m_roots.WorkArea() + QStringLiteral("/plugin");
}

QString PluginBuilder::PluginFolder(const PluginDetails& details) const {
    return AssemblyFolder() + QStringLiteral("/") + details.identifier;
}

QString PluginBuilder::LockPath() const {
    // Beside the work area: the application folder, or the user's cache folder when installed.
    return QFileInfo(m_roots.WorkArea()).path() + QStringLiteral("/build.lock");
}

QString PluginBuilder::Build(const FunnelModel& funnel, const PluginDetails& details, FunnelTokens* tokens,
                             const std::function<void(const FunnelTokens&)>& beforePublish) {
    const QString refusal = Refusal(funnel, details);
    if (!refusal.isEmpty())
        throw BuildError(BuildError::InvalidInput, refusal);

    const BuildLock lock(LockPath());
    ZipPacker::RemoveLeftovers(m_roots.Output());
    const QString pluginFolder = PluginFolder(details);
    const QString assembly = AssemblyFolder();
    const QString archive = ArchivePath(details);
    FunnelTokens used;
    try {
        FunnelGenerator generator(m_roots, m_tools, m_messages);
        const GenerationResult generation =
            generator.ProcessFunnel(funnel, tokens ? *tokens : FunnelTokens());
        Assemble(details, generation);
        ZipPacker::PackFolder(pluginFolder, archive, [&] {
            if (beforePublish)
                beforePublish(generation.tokens);
        });
        used = generation.tokens;
    } catch (...) {
        removePluginFolder(assembly, m_roots.WritableRoots());
        throw;
    }
    // The archive is complete; a folder that cannot be removed now is removed by the next build.
    removePluginFolder(assembly, m_roots.WritableRoots());
    if (tokens)
        *tokens = used;
    return archive;
}
