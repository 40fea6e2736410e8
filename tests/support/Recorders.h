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
    // Answers with the next scripted answer, Cancel when none is left.
    SaveAnswer AskToSave(const QString& title, const QString& text) override {
        asked.append({title, text});
        return answers.isEmpty() ? SaveAnswer::Cancel : answers.takeFirst();
    }
    // Answers with the next scripted answer, no when none is left.
    bool Confirm(const QString& title, const QString& text, const QString&) override {
        asked.append({title, text});
        return confirmations.isEmpty() ? false : confirmations.takeFirst();
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    QString lastTitle() const { return shown.isEmpty() ? QString() : shown.last().title; }

    QList<Shown> shown;
    QList<Shown> asked;
    QList<SaveAnswer> answers;
    QList<bool> confirmations;
};

class RecordingShell final : public Shell {
public:
    bool OpenFolder(const QString& folder) override {
        opened << folder;
        return available;
    }
    bool ShowFile(const QString& file) override {
        shown << file;
        return available;
    }
    QStringList opened;
    QStringList shown;
    // False plays a system without a file manager.
    bool available = true;
};
