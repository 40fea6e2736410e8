#include "app/CommandLine.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/FunnelGenerator.h"
#include "generate/FunnelTokens.h"
#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"
#include "platform/Messages.h"
#include "platform/PathRules.h"
#include "plugin/ArchiveFolder.h"
#include "plugin/FunnelFile.h"
#include "plugin/FunnelFileLock.h"
#include "plugin/PluginBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTextStream>

namespace {

class ConsoleMessages final : public Messages {
public:
    ConsoleMessages(QTextStream& err, QString prefix)
        : m_err(err)
        , m_prefix(std::move(prefix)) {}
    void Show(const QString& title, const QString& text, Icon) override {
        m_err << m_prefix << title << ": " << text << Qt::endl;
    }

private:
    QTextStream& m_err;
    QString m_prefix;
};

const char* kUsage =
    "Usage: veltrano [FUNNEL.json | build FUNNEL.json... [--output DIR] | --help | --version]\n"
    "\n"
    "Without arguments Veltrano opens its window; with a funnel file it opens that funnel.\n"
    "  build FUNNEL.json...  build the plugin archive of each funnel file into the output\n"
    "                        folder and print each archive's path; a failure is reported and\n"
    "                        the other files are still built\n"
    "  --output DIR          put the archives into DIR instead\n"
    "  --help                show this text\n"
    "  --version             show the program's name and version\n"
    "\n"
    "FUNNEL.json (File > Save in the window writes the same format):\n"
    "  { \"format\": 1,\n"
    "    \"items\": [ { \"slot\": 0, \"product\": \"Traffic Magnet Pro\" },\n"
    "               { \"slot\": 1, \"product\": \"My Products: Demo Product\",\n"
    "                 \"download\": \"https://example.com/file.zip\" } ],\n"
    "    \"plugin\": { \"identifier\": \"p123\", \"name\": \"My Plugin\", \"uri\": \"...\",\n"
    "                \"description\": \"...\", \"version\": \"1.0\", \"author\": \"...\",\n"
    "                \"authorUrl\": \"...\", \"license\": \"GPL-2.0-or-later\" } }\n"
    "  Slots: 0 front end offer, 1 upsell #1, 2 upsell #2, 3 downsell for upsell #1,\n"
    "  4 downsell for upsell #2. Plugin fields are optional. A missing identifier is drawn\n"
    "  and, with the pages' tokens, written back into the file before the archive is put\n"
    "  in place, so a rebuild updates the same plugin at the same page addresses; a file\n"
    "  that can't be written back then is not built.\n";

// `built` holds the archive names this run made already: a funnel that would replace one of them
// is refused, so no result of the run is lost.
bool build(const QString& funnelPath, const QString& outputFolder, const AppRoots& roots,
           QMap<QString, QString>& built, QTextStream& out, QTextStream& err) {
    const QString prefix = funnelPath + QStringLiteral(": ");
    // Taken before the file is read, so that no build starts from a file another one is about to
    // complete with its identifier and tokens.
    const FunnelFileLock lock(funnelPath);
    if (lock.isBusy()) {
        err << lock.problem() << Qt::endl;
        return false;
    }
    QByteArray json;
    if (const QString problem = FunnelFile::ReadFile(funnelPath, json); !problem.isEmpty()) {
        err << problem << Qt::endl;
        return false;
    }
    ConsoleMessages console(err, prefix);
    Messages& messages = console;
    KelvrinTools tools;
    ProductCatalogue catalogue(roots);
    FunnelModel funnel;
    PluginDetails details;
    FunnelFileContent content;
    const QString problem =
        FunnelFile::Load(json, catalogue, catalogue.FillProductLists(), tools, funnel, details, &content);
    if (!problem.isEmpty()) {
        err << prefix << problem << Qt::endl;
        return false;
    }
    if (!FunnelGenerator::CheckFunnelItems(funnel)) {
        messages.Show(QStringLiteral("Missing Info"),
                      QStringLiteral(
                          "Please verify that you've selected a product for each one of your funnel items."));
        return false;
    }
    PluginBuilder builder(roots, tools, messages);
    const QString refusal = builder.Refusal(funnel, details);
    if (!refusal.isEmpty()) {
        messages.Show(QStringLiteral("Important"), refusal);
        return false;
    }
    const QString archiveName = QFileInfo(builder.ArchivePath(details)).fileName();
    if (built.contains(archiveName)) {
        err << prefix << "Not built: its plugin name gives the archive " << archiveName << " that "
            << built.value(archiveName) << " was just built into. Give the plugins different names."
            << Qt::endl;
        return false;
    }
    if (!outputFolder.isEmpty()) {
        if (const QString problem = ArchiveFolder::Problem(outputFolder, archiveName, PathRules::Native());
            !problem.isEmpty()) {
            err << prefix << "Not built. " << problem << Qt::endl;
            return false;
        }
    }
    // A drawn identifier and new tokens must go back into the file, so that the next build makes
    // the same plugin with the same page addresses: a file that can't take them is not built.
    FunnelTokens tokens = AssignTokens(funnel.PresentSlots(), content.tokens, tools);
    const bool identifierDrawn = content.details.identifier.isEmpty();
    if (identifierDrawn || tokens != content.tokens) {
        const QString problem = lock.isHeld() ? FunnelFile::WriteProblem(funnelPath) : lock.problem();
        if (!problem.isEmpty()) {
            err << prefix << "Not built: its new plugin identifier and page tokens could not be kept in it, "
                << "so the next build would make another plugin. " << problem << Qt::endl;
            return false;
        }
    }
    // The file is written once the archive is complete and before it takes its place: no archive
    // is ever out with an identifier the file does not record.
    const auto keepInFile = [&](const FunnelTokens& used) {
        if (!identifierDrawn && used == content.tokens)
            return;
        const QString problem =
            FunnelFile::WriteFile(funnelPath, FunnelFile::Write(funnel, details, used, content.source));
        if (!problem.isEmpty())
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("The archive was not published: the plugin's identifier and page "
                                            "tokens could not be kept in the funnel file. ") +
                                 problem);
    };
    QString archive;
    try {
        archive = builder.Build(funnel, details, &tokens, keepInFile);
        if (!outputFolder.isEmpty())
            archive = ArchiveFolder::MoveInto(archive, outputFolder);
    } catch (const BuildError& error) {
        messages.Show(QStringLiteral("Error"),
                      PluginBuilder::ErrorMessage(error.number(), error.description()));
        return false;
    }
    out << archive << Qt::endl;
    built.insert(archiveName, funnelPath);
    return true;
}

int buildAll(const QStringList& arguments, const AppRoots& roots, QTextStream& out, QTextStream& err) {
    QStringList files;
    QString outputFolder;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--output")) {
            if (++i == arguments.size() || !outputFolder.isEmpty()) {
                err << kUsage;
                return 2;
            }
            outputFolder = arguments[i];
        } else if (argument.startsWith(QLatin1String("--output="))) {
            outputFolder = argument.mid(9);
            if (outputFolder.isEmpty()) {
                err << kUsage;
                return 2;
            }
        } else {
            files << argument;
        }
    }
    if (files.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const AppRoots runRoots = outputFolder.isEmpty() ? roots : roots.WithStagedOutput();
    if (!outputFolder.isEmpty()) {
        if (const QString problem = roots.OutputFolderProblem(outputFolder); !problem.isEmpty()) {
            err << problem << Qt::endl;
            return 1;
        }
        if (!QDir().mkpath(outputFolder)) {
            err << "Cannot make the output folder " << outputFolder << Qt::endl;
            return 1;
        }
    }
    const QString unprepared = runRoots.PrepareUserFolders();
    if (!unprepared.isEmpty()) {
        err << unprepared << Qt::endl;
        return 1;
    }
    bool allBuilt = true;
    QMap<QString, QString> built;
    for (const QString& file : files)
        allBuilt = build(file, outputFolder, runRoots, built, out, err) && allBuilt;
    return allBuilt ? 0 : 1;
}

} // namespace

bool IsCommand(const QString& firstArgument) {
    static const QStringList commands{QStringLiteral("build"), QStringLiteral("--help"), QStringLiteral("-h"),
                                      QStringLiteral("--version")};
    return commands.contains(firstArgument);
}

int RunCommandLine(const QStringList& arguments, const AppRoots& roots, QTextStream& out, QTextStream& err) {
    if (arguments.size() == 1 &&
        (arguments[0] == QLatin1String("--help") || arguments[0] == QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == QLatin1String("--version")) {
        out << "Veltrano Pro 2.6" << Qt::endl;
        return 0;
    }
    if (!arguments.isEmpty() && arguments[0] == QLatin1String("build"))
        return buildAll(arguments.mid(1), roots, out, err);
    err << kUsage;
    return 2;
}
