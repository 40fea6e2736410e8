#pragma once

#include "catalogue/ProductCatalogue.h"
#include "platform/AppRoots.h"

#include <QString>
#include <QStringList>

// A product of the user's own as the user describes it.
struct CustomProduct {
    QString name;
    // The image file to take as the sales page image: one picked anywhere, or the product's own.
    QString image;
    QString downloadAddress;
    // Optional; kept beside the other files for sales copy to come.
    QString salesText;
};

// Makes, changes and removes the folders below `myproducts` that the catalogue lists as custom
// products, laid out as the help tells users to make them by hand: the image as
// salespage.<format>, download.txt with the address (no line break), and salestext.txt when there
// is a sales text. A folder is written whole beside its place and renamed into it, so the lists
// never see half a product; nothing is written through a symbolic link.
class CustomProductWriter {
public:
    struct Result {
        // The product's name in the lists, once written.
        QString displayName;
        // Why nothing was done, or empty text.
        QString problem;
    };

    explicit CustomProductWriter(AppRoots roots);

    // The folder a typed name is kept in: dashes and runs of blanks are one dash, all in small
    // letters, as the lists map a folder's dashes to blanks and a listed name back to its folder.
    static QString FolderName(const QString& name);
    // The typed name as the product lists will show it.
    static QString DisplayName(const QString& name);

    // The product listed as `displayName` as it is now, its name as the list shows it.
    CustomProduct Read(const QString& displayName) const;
    // Why `product` can't be written as a new product, or in place of the product listed as
    // `replacing`; empty text when it can.
    QString Problem(const CustomProduct& product, const QString& replacing = {}) const;

    Result Create(const CustomProduct& product);
    // Writes the product listed as `displayName` anew, under its new name if it has one. The
    // folder's other files stay; a newly chosen image replaces every image file of the folder,
    // since the catalogue would take the last of them by name.
    Result Update(const QString& displayName, const CustomProduct& product);
    // Removes the product's folder; refused while `usedBy` names funnel items that use it.
    Result Remove(const QString& displayName, const QStringList& usedBy);

private:
    QString RootProblem() const;
    // The product's folder as it is named on disk, or empty text.
    QString Located(const QString& displayName) const;
    // A free name for a scratch folder beside the products, which the lists leave out.
    QString ScratchName(const QString& kind) const;

    AppRoots m_roots;
    ProductCatalogue m_catalogue;
};
