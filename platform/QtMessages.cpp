#include "platform/QtMessages.h"

#include <QMessageBox>
#include <QPushButton>

void QtMessages::Show(const QString& title, const QString& text, Icon icon) {
    const QMessageBox::Icon boxIcon = icon == Icon::Critical  ? QMessageBox::Critical
                                      : icon == Icon::Warning ? QMessageBox::Warning
                                                              : QMessageBox::Information;
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

Messages::SaveAnswer QtMessages::AskToSave(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Save);
    // Alt+S, Alt+D and Alt+C answer from the keyboard, as every other button of the program.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancel"));
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

bool QtMessages::Confirm(const QString& title, const QString& text, const QString& action) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, m_parent);
    QPushButton* yes = box.addButton(action, QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(QStringLiteral("&Cancel"), QMessageBox::RejectRole);
    // Enter keeps what is there; the step is taken only on purpose.
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
