#pragma once

#include <QDialog>

class QLabel;
class Shell;

// "My Products": how to add a product of one's own, and a button that opens the folder.
class frmMyProducts final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmMyProducts)

public:
    frmMyProducts(QString myProductsFolder, Shell& shell, QWidget* parent = nullptr);

private slots:
    void cmdMyProducts_Click();
    void cmdClose_Click();

private:
    QString m_myProductsFolder;
    Shell& m_shell;
    QLabel* m_folderNote = nullptr;
};
