#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The window-less commands: "build FUNNEL.json", "--help", "--version". Returns the exit code.
// Uses the same core as the windows and prints their texts.
int RunCommandLine(const QStringList& arguments, const QString& applicationFolder, QTextStream& out,
                   QTextStream& err);
