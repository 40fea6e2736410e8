#include "catalogue/ProductCatalogue.h"

#include "catalogue/BuiltInProducts.h"
#include "catalogue/ProductImage.h"
#include "platform/BuildError.h"
#include "platform/KelvrinFile.h"
#include "platform/KelvrinParser.h"
#include "platform/KelvrinTools.h"
#include "platform/PathRules.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

ProductCatalogue::ProductCatalogue(AppRoots roots)
    : m_roots(std::move(roots)) {}

ProductKind ProductCatalogue::KindOf(const QString& displayName) {
    return displayName.contains(QLatin1String("Products:")) ? ProductKind::Custom : ProductKind::BuiltIn;
}

QString ProductCatalogue::FormatFolderName(const QString& folderName) {
    return KelvrinTools::FormatName(
        KelvrinParser::ReplaceText(folderName, QStringLiteral("-"), QStringLiteral(" ")));
}

QStringList ProductCatalogue::FillProductLists() {
    m_myProductsFolder.clear();
    KelvrinFile::ListSubfolders(m_roots.MyProducts(), m_myProductsFolder);
    m_myProductsFolderFormatted.clear();
    for (const QString& folder : std::as_const(m_myProductsFolder))
        m_myProductsFolderFormatted << FormatFolderName(folder);

    // The user's products as people read a list: "alpha kit" before "Beta Kit".
    QStringList custom;
    for (const QString& formatted : std::as_const(m_myProductsFolderFormatted))
        custom << CustomPrefix() + formatted;
    std::stable_sort(custom.begin(), custom.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return BuiltInProducts::Names() + custom;
}

QString ProductCatalogue::CustomProductFolder(const QString& displayName) const {
    QString name = KelvrinParser::ReplaceText(displayName, CustomPrefix(), QString());
    name = KelvrinParser::ReplaceText(name, QStringLiteral(" "), QStringLiteral("-"));
    return (m_roots.MyProducts() + QLatin1Char('/') + name).toLower();
}

QString ProductCatalogue::LocateFolder(const QString& path) {
    const bool caseSensitive = PathRules::Native().caseSensitivity == Qt::CaseSensitive;
    if (caseSensitive && QFileInfo(path).isDir())
        return path;
    // Where case does not count, the folder is found under any spelling, yet the build compares
    // and shows paths as they stand on disk: so every name is read back from its folder.
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString current;
    for (const QFileInfo& drive : QDir::drives()) {
        const QString root = drive.absoluteFilePath();
        if (absolute.startsWith(root, Qt::CaseInsensitive) && root.size() > current.size())
            current = root;
    }
    if (current.isEmpty())
        return {};
    const QStringList parts = absolute.mid(current.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const QDir dir(current);
        QString match;
        if (caseSensitive && QFileInfo(dir.filePath(part)).isDir()) {
            match = part;
        } else {
            const QStringList candidates =
                dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            for (const QString& candidate : candidates) {
                if (candidate == part) {
                    match = candidate;
                    break;
                }
                if (match.isEmpty() && candidate.compare(part, Qt::CaseInsensitive) == 0)
                    match = candidate;
            }
        }
        if (match.isEmpty())
            return {};
        current = dir.filePath(match);
    }
    return current;
}

ProductRecord ProductCatalogue::ResolveBuiltIn(const QString& displayName) const {
    ProductRecord product;
    product.displayName = displayName;
    product.kind = ProductKind::BuiltIn;
    const QString productsPro = m_roots.Shipped() + QStringLiteral("/productspro/");
    try {
        KelvrinFile::LoadTextFile(product.productId, productsPro + displayName + QStringLiteral(".txt"));
    } catch (const BuildError&) {
        // A missing id file counts as an empty id: such a product has no download address.
        product.productId.clear();
    }
    product.folder = productsPro + product.productId;
    product.salesPageImage = product.folder + QStringLiteral("/salespage.gif");
    product.previewPage = product.folder + QStringLiteral("/preview.html");
    if (!product.productId.isEmpty())
        product.downloadAddress =
            BuiltInProducts::DownloadServerBase() + product.productId + QStringLiteral(".html");
    return product;
}

ProductRecord ProductCatalogue::ResolveCustom(const QString& displayName) const {
    ProductRecord product;
    product.displayName = displayName;
    product.kind = ProductKind::Custom;
    const QString mapped = CustomProductFolder(displayName);
    const QString located = LocateFolder(mapped);
    product.folder = located.isEmpty() ? mapped : located;
    // Links are never read: they could ship any file of the disk as a public image.
    if (located.isEmpty() || QFileInfo(located).isSymLink())
        return product;

    // Plain files as a file list shows them: no folders, no hidden files, sorted without case.
    // The last image file is the sales page image; other files are never taken.
    const QStringList files =
        QDir(located).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        const QString path = located + QLatin1Char('/') + file;
        if (file == DownloadFileName()) {
            try {
                KelvrinFile::LoadTextFile(product.downloadAddress, path);
                // Editors and `echo URL > download.txt` end the file with a line break.
                product.downloadAddress = product.downloadAddress.trimmed();
                product.hasDownloadFile = true;
            } catch (const BuildError&) {
                product.downloadAddress.clear();
            }
        } else if (file == SalesTextFileName()) {
            try {
                KelvrinFile::LoadTextFile(product.salesText, path);
            } catch (const BuildError&) {
                product.salesText.clear();
            }
        } else if (ProductImage::HasImageExtension(file)) {
            product.salesPageImage = path;
        }
    }
    return product;
}

QString ProductCatalogue::LinkInCustomProduct(const QString& displayName) const {
    const QString located = LocateFolder(CustomProductFolder(displayName));
    if (located.isEmpty())
        return {};
    if (QFileInfo(located).isSymLink())
        return located;
    const auto entries = QDir(located).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (entry.isSymLink())
            return entry.filePath();
    return {};
}
