#pragma once

#include <QDialog>

class KelvrinBrowser;

// "Product Viewer": shows a built-in product's preview page.
class frmProductViewer final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmProductViewer)

public:
    frmProductViewer(const QString& previewPage, QWidget* parent = nullptr);
    KelvrinBrowser* KelvrinBrowser1 = nullptr;

private slots:
    void cmdClose_Click();
};
