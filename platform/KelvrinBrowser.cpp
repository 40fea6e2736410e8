#include "platform/KelvrinBrowser.h"

#include <QFileInfo>
#include <QUrl>

KelvrinBrowser::KelvrinBrowser(QWidget* parent)
    : QTextBrowser(parent) {
    setOpenExternalLinks(true);
}

void KelvrinBrowser::Navigate(const QString& pagePath) {
    if (QFileInfo(pagePath).isFile()) {
        setSource(QUrl::fromLocalFile(pagePath));
        return;
    }
    setHtml(
        QStringLiteral("<h2 style=\"font-family: Verdana\">Page not found</h2>"
                       "<p style=\"font-family: Verdana\">The preview page <b>%1</b> could not be found.</p>")
            .arg(pagePath.toHtmlEscaped()));
}
