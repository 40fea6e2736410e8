#include "platform/QtMessages.h"

#include <QMessageBox>

void QtMessages::Show(const QString& title, const QString& text, Icon icon) {
    const QMessageBox::Icon boxIcon = icon == Icon::Critical  ? QMessageBox::Critical
                                      : icon == Icon::Warning ? QMessageBox::Warning
                                                              : QMessageBox::Information;
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}
