#pragma once

#include <QTextBrowser>

// Shows a local HTML page with its images; links to the web open in the system browser.
class KelvrinBrowser final : public QTextBrowser {
    Q_OBJECT

public:
    explicit KelvrinBrowser(QWidget* parent = nullptr);
    // A page that does not exist shows a short "page not found" text instead.
    void Navigate(const QString& pagePath);
};
