#pragma once

#include <QString>

class KelvrinTools;

// What the user enters in the plugin details window; nothing is trimmed. Only the identifier and
// the name are required: an optional field left empty is left out of the plugin header.
struct PluginDetails {
    // The name also names the archive: at 64 UTF-16 units its file name stays far below the 255
    // bytes (UTF-8) and 255 units that file systems allow, and its path below Windows' 260.
    static constexpr int kMaxNameLength = 64;

    QString identifier;
    QString name = QStringLiteral("My Plugin");
    // No site of the plugin's own unless the seller gives one: WordPress links it as "Visit plugin site".
    QString uri;
    QString description;
    QString version = QStringLiteral("1.0");
    QString author;
    QString authorUrl;
    QString license = QStringLiteral("GPL-2.0-or-later");

    // The identifier and the name hold at least one character each; blanks count.
    bool RequiredFieldsFilled() const;
    // Empty when the details are safe to build from, else the message that tells why not.
    QString SafetyProblem() const;
};

// "p" followed by two draws of RandomNumber(999).
QString GenerateIdentifier(KelvrinTools& tools);

// The archive's name (before ".zip"): the plugin name without any blank, in lower case, its
// letters and digits kept and every run of other characters one "-" (none at either end).
// The same on every system, so one funnel file gives one archive name everywhere.
QString ArchiveName(const QString& pluginName);

// Empty when ArchiveName's result names a file that every system can create, else why not.
QString ArchiveNameProblem(const QString& archive);
