#pragma once

#include <QString>

class KelvrinTools;

// What the user enters in the plugin details window; nothing is trimmed.
struct PluginDetails {
    QString identifier;
    QString name = QStringLiteral("My Plugin");
    QString uri = QStringLiteral("https://www.example.com/my-plugin");
    QString description = QStringLiteral("Enter your description...");
    QString version = QStringLiteral("1.0");
    QString author = QStringLiteral("Enter Your Name...");
    QString authorUrl = QStringLiteral("Enter Your Url ...");
    QString license = QStringLiteral("GPL");

    // Every field holds at least one character; blanks count.
    bool AllFieldsFilled() const;
    // Empty when the details are safe to build from, else the message that tells why not.
    QString SafetyProblem() const;
};

// "p" followed by two draws of RandomNumber(999).
QString GenerateIdentifier(KelvrinTools& tools);

// The plugin name without any blank, in lower case.
QString ArchiveName(const QString& pluginName);

// The description as one header line: every line break becomes a blank.
QString HeaderDescription(const QString& description);

// The eleven lines of the WordPress plugin header, CR LF between them and none after the last.
QString BuildPluginHeader(const QString& name, const QString& uri, const QString& description,
                          const QString& version, const QString& author, const QString& authorUrl,
                          const QString& license);
