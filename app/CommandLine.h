#pragma once

#include "platform/AppRoots.h"

#include <QString>
#include <QStringList>

class QTextStream;

// True when the first argument asks for a window-less command; anything else (a funnel file, the
// toolkit's own options) opens the window.
bool IsCommand(const QString& firstArgument);

// The window-less commands: "build FUNNEL.json... [--output DIR]", "--help", "--version".
// Returns the exit code. Uses the same core as the windows and prints their texts.
int RunCommandLine(const QStringList& arguments, const AppRoots& roots, QTextStream& out, QTextStream& err);
