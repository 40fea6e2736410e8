#pragma once

#include "catalogue/ProductRecord.h"
#include "platform/AppRoots.h"

#include <QString>
#include <QStringList>

// The built-in products below `productspro` and the custom product folders below `myproducts`
// of one application's roots. Only reads; never changes a file.
class ProductCatalogue {
public:
    explicit ProductCatalogue(AppRoots roots);

    static QString CustomPrefix() { return QStringLiteral("My Products: "); }
    // The files of a custom product's folder read by name. Its sales page image is any image
    // file (the last by name); one the program writes is named SalesPageImageName + "." + format.
    static QString DownloadFileName() { return QStringLiteral("download.txt"); }
    static QString SalesTextFileName() { return QStringLiteral("salestext.txt"); }
    static QString SalesPageImageName() { return QStringLiteral("salespage"); }
    static ProductKind KindOf(const QString& displayName);

    // Rereads the custom folders and returns every slot's list: the built-in names, then
    // "My Products: " + each formatted folder name, folders sorted by name.
    QStringList FillProductLists();
    const QStringList& lstMyProductsFolder() const { return m_myProductsFolder; }
    const QStringList& lstMyProductsFolderFormatted() const { return m_myProductsFolderFormatted; }

    static QString FormatFolderName(const QString& folderName);
    // The custom product's folder as the display name maps back to it: the whole path in lower
    // case, as the product lists were always mapped.
    QString CustomProductFolder(const QString& displayName) const;
    // Finds the folder that `path` names on a file system that tells case apart: each part of
    // the path matches exactly when it can, else without regard to case. Empty when not found.
    static QString LocateFolder(const QString& path);

    ProductRecord ResolveBuiltIn(const QString& displayName) const;
    // A folder that cannot be found, or that is a symbolic link, resolves as an empty folder.
    // Only image files are taken as the sales page image; links in the folder are never read.
    ProductRecord ResolveCustom(const QString& displayName) const;
    // The first symbolic link among the custom product's folder and its entries, or empty text.
    QString LinkInCustomProduct(const QString& displayName) const;

private:
    AppRoots m_roots;
    QStringList m_myProductsFolder;
    QStringList m_myProductsFolderFormatted;
};
