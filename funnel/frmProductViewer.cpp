#include "funnel/frmProductViewer.h"

#include "platform/KelvrinBrowser.h"
#include "platform/Twips.h"

#include <QPushButton>

frmProductViewer::frmProductViewer(const QString& previewPage, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Product Viewer"));
    setFixedSize(Twips(0, 0, 18360, 8475).size());
    KelvrinBrowser1 = new KelvrinBrowser(this);
    KelvrinBrowser1->setObjectName(QStringLiteral("KelvrinBrowser1"));
    KelvrinBrowser1->setGeometry(Twips(405, 450, 17385, 6540));
    auto* cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setDefault(true);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setGeometry(Twips(7605, 7425, 2490, 780));
    connect(cmdClose, &QPushButton::clicked, this, &frmProductViewer::cmdClose_Click);
    KelvrinBrowser1->Navigate(previewPage);
}

void frmProductViewer::cmdClose_Click() {
    close();
}
