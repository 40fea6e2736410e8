#include "funnel/frmProductViewer.h"

#include "platform/KelvrinBrowser.h"
#include "platform/ScreenFit.h"
#include "platform/Twips.h"

#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

frmProductViewer::frmProductViewer(const QString& previewPage, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Product Viewer"));
    KelvrinBrowser1 = new KelvrinBrowser(this);
    KelvrinBrowser1->setObjectName(QStringLiteral("KelvrinBrowser1"));
    auto* cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setDefault(true);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setMinimumSize(Twips(0, 0, 2490, 780).size());

    // Laid out with the designed margins, so a smaller screen shrinks the page, not the button.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(TwipsToPixels(405), TwipsToPixels(450), TwipsToPixels(570),
                               TwipsToPixels(270));
    layout->setSpacing(TwipsToPixels(435));
    layout->addWidget(KelvrinBrowser1, 1);
    layout->addWidget(cmdClose, 0, Qt::AlignHCenter);
    resize(ScreenFit::Bounded(Twips(0, 0, 18360, 8475).size(), screen()->availableGeometry()));
    connect(cmdClose, &QPushButton::clicked, this, &frmProductViewer::cmdClose_Click);
    KelvrinBrowser1->Navigate(previewPage);
}

void frmProductViewer::cmdClose_Click() {
    close();
}
