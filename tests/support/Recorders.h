#pragma once

#include "platform/Messages.h"
#include "platform/Shell.h"

#include <QList>
#include <QStringList>

// Records message boxes instead of showing them, so a test reads what the user would read.
class RecordingMessages final : public Messages {
public:
    struct Shown {
        QString title;
        QString text;
    };
    void Show(const QString& title, const QString& text, Icon) override { shown.append({title, text}); }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    QString lastTitle() const { return shown.isEmpty() ? QString() : shown.last().title; }

    QList<Shown> shown;
};

class RecordingShell final : public Shell {
public:
    void OpenFolder(const QString& folder) override { opened << folder; }
    QStringList opened;
};
