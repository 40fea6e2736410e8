#include "platform/QtMessages.h"

#include <QMessageBox>

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
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}
