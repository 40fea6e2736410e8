#pragma once

#include "platform/AppRoots.h"

#include <QString>

#include <functional>

class FunnelModel;
class KelvrinTools;
class Messages;
struct FunnelTokens;
struct GenerationResult;
struct PathRules;
struct PluginDetails;

// Builds the plugin archive from the funnel and the plugin details: generation, the plugin folder
// assembled in the work area from the skeleton and the generated pages, packing into the output
// folder, and removal of the plugin folder. Used by the plugin details window and by the command
// line alike.
class PluginBuilder {
public:
    PluginBuilder(AppRoots roots, KelvrinTools& tools, Messages& messages);

    // The message that refuses the details before anything is written, or empty text.
    static QString Refusal(const PluginDetails& details);
    // The same for the details and the funnel they are built from: products whose files or
    // addresses would be unsafe in the plugin are refused too.
    QString Refusal(const FunnelModel& funnel, const PluginDetails& details) const;
    // Empty when every path the build writes fits within `rules`' longest path, else the message
    // that names the folder too deep for it.
    QString PathLengthProblem(const PluginDetails& details, const PathRules& rules) const;
    // The text the build's one error trap shows for an error.
    static QString ErrorMessage(int number, const QString& description);

    // Runs the whole build and returns the archive's path. Throws BuildError. Only one build at a
    // time runs in an application folder; another is refused before it writes anything. The
    // plugin folder is removed after packing, and after a failure too. `tokens`, when given,
    // holds the funnel's earlier tokens (kept where well-formed) and receives the tokens the
    // plugin was built with. `beforePublish`, when given, receives those tokens once the archive
    // is complete and before it takes its place (see ZipPacker::PackFolder); when it throws, no
    // archive is published and the error passes on.
    QString Build(const FunnelModel& funnel, const PluginDetails& details, FunnelTokens* tokens = nullptr,
                  const std::function<void(const FunnelTokens&)>& beforePublish = {});

    // The first half: returns the assembled plugin folder, made anew in the work area (whatever
    // an earlier assembly left there is removed first).
    QString Assemble(const PluginDetails& details, const GenerationResult& generation);
    QString ArchivePath(const PluginDetails& details) const;
    // Where the plugin folder is assembled: below the work area, named by the identifier.
    QString PluginFolder(const PluginDetails& details) const;
    // The lock file that keeps two builds in one application folder apart.
    QString LockPath() const;

private:
    // The work area's folder that holds the plugin folder while it is assembled and packed.
    QString AssemblyFolder() const;
    void FillPluginFile(const QString& path, const QList<QPair<QString, QString>>& tokens);

    AppRoots m_roots;
    KelvrinTools& m_tools;
    Messages& m_messages;
};
