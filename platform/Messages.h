#pragma once

#include <QString>

// Every message box of the program goes through this interface: the windows use message boxes,
// tests and the command line use recorders or the console, and nothing blocks a test.
class Messages {
public:
    enum class Icon { Information, Warning, Critical };
    enum class SaveAnswer { Save, Discard, Cancel };

    virtual ~Messages() = default;
    // Shows the text with one OK button and returns when the user has closed it.
    virtual void Show(const QString& title, const QString& text, Icon icon = Icon::Information) = 0;
    // Asks whether to save changes that would otherwise be lost. Where nobody can answer, the
    // answer is Cancel, so nothing is lost.
    virtual SaveAnswer AskToSave(const QString& title, const QString& text) {
        Q_UNUSED(title);
        Q_UNUSED(text);
        return SaveAnswer::Cancel;
    }
    // Asks before a step that can't be taken back; true when the user chose `action`. Where
    // nobody can answer, the answer is no, so nothing is lost.
    virtual bool Confirm(const QString& title, const QString& text, const QString& action) {
        Q_UNUSED(title);
        Q_UNUSED(text);
        Q_UNUSED(action);
        return false;
    }
};
