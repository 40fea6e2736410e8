#pragma once

#include <QString>

enum class ProductKind { BuiltIn, Custom };

// A product as the funnel sees it. Empty texts mean "none": a custom product without
// download.txt has no download address, one without another file has no sales page image.
struct ProductRecord {
    QString displayName;
    ProductKind kind = ProductKind::BuiltIn;
    QString productId;
    QString folder;
    QString salesPageImage;
    QString previewPage;
    QString downloadAddress;
    // Whether a download.txt was read; its text may be empty.
    bool hasDownloadFile = false;
    // A custom product's own sales text (salestext.txt), as written; nothing builds from it yet.
    QString salesText;
};
