#pragma once

#include "platform/Messages.h"

class QWidget;

// Message boxes for the windows, modal to the given window.
class QtMessages final : public Messages {
public:
    explicit QtMessages(QWidget* parent = nullptr)
        : m_parent(parent) {}
    void Show(const QString& title, const QString& text, Icon icon) override;
    SaveAnswer AskToSave(const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text, const QString& action) override;

private:
    QWidget* m_parent;
};
