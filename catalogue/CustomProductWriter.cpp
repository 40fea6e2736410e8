#include "catalogue/CustomProductWriter.h"

#include "catalogue/BuiltInProducts.h"
#include "catalogue/ImageSize.h"
#include "catalogue/ProductImage.h"
#include "catalogue/WebAddress.h"
#include "platform/FileKeeping.h"
#include "platform/KillFldr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <functional>

namespace {

// Room for the folder below a long products path within Windows' path limit.
constexpr int kLongestName = 60;
// Characters beside letters and digits that every system takes in a folder name.
const QString kPunctuation = QStringLiteral(" -'&+(),.!");

QString typedName(const QString& name) {
    return name.normalized(QString::NormalizationForm_C)
        .replace(QLatin1Char('-'), QLatin1Char(' '))
        .simplified();
}

bool isReservedOnWindows(const QString& folder) {
    static const QStringList devices{QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"),
                                     QStringLiteral("nul")};
    const QString base = folder.section(QLatin1Char('.'), 0, 0);
    if (devices.contains(base))
        return true;
    return base.size() == 4 &&
           (base.startsWith(QLatin1String("com")) || base.startsWith(QLatin1String("lpt"))) &&
           base.at(3) >= QLatin1Char('1') && base.at(3) <= QLatin1Char('9');
}

QString nameProblem(const QString& name) {
    const QString typed = typedName(name);
    if (typed.isEmpty())
        return QStringLiteral("Type the product's name.");
    if (typed.size() > kLongestName)
        return QStringLiteral("A product name can be %1 characters long at most.").arg(kLongestName);
    bool letterOrDigit = false;
    for (QChar c : typed) {
        letterOrDigit = letterOrDigit || c.isLetterOrNumber();
        if (!c.isLetterOrNumber() && !kPunctuation.contains(c))
            return QStringLiteral("A product name can't hold \"%1\": use letters, digits, blanks, dashes "
                                  "and . , ' & + ( ) !")
                .arg(c);
    }
    if (!letterOrDigit)
        return QStringLiteral("A product name needs a letter or a digit.");
    if (typed.startsWith(QLatin1Char('.')) || typed.endsWith(QLatin1Char('.')))
        return QStringLiteral("A product name can't begin or end with a dot.");
    if (isReservedOnWindows(CustomProductWriter::FolderName(name)))
        return QStringLiteral("\"%1\" can't be a product name: Windows keeps that name for a device.")
            .arg(typed);
    return {};
}

QString imageProblem(const QString& image) {
    if (image.isEmpty())
        return QStringLiteral("Choose the sales page image: a GIF, JPEG, PNG or WebP file.");
    const QFileInfo info(image);
    if (info.isSymLink())
        return QStringLiteral("The sales page image is a symbolic link, which Veltrano never follows: %1\n"
                              "Choose the image file itself.")
            .arg(image);
    if (!info.isFile())
        return QStringLiteral("The sales page image can't be found: %1").arg(image);
    if (ProductImage::FormatOf(image).isEmpty())
        return QStringLiteral("The sales page image must be a GIF, JPEG, PNG or WebP image whose content "
                              "matches its name: %1")
            .arg(image);
    // The build reads the size to reserve the image's room; an image without one is refused there.
    if (!ImageSize::OfFile(image).isValid())
        return QStringLiteral("The sales page image is damaged: its size can't be read: %1").arg(image);
    return {};
}

QString addressProblem(const QString& typed) {
    const QString address = typed.trimmed();
    if (address.isEmpty())
        return QStringLiteral("Type the download address: a web address beginning with http:// or "
                              "https://.");
    if (!IsWebAddress(address))
        return QStringLiteral("The download address must be a web address beginning with http:// or "
                              "https://, but it is \"%1\".")
            .arg(address);
    return {};
}

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

// Makes a file that was not there (never one through a link), and syncs it: the folder is
// renamed into place next, and must not turn up empty after a power cut.
QString writeNewFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size() ||
        !FileKeeping::SyncToDisk(file))
        return cannotWrite(path, file.errorString());
    return {};
}

QString copyNewFile(const QString& source, const QString& destination) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(source), in.errorString());
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannotWrite(destination, out.errorString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            return QStringLiteral("Cannot read %1: %2")
                .arg(QDir::toNativeSeparators(source), in.errorString());
        if (out.write(chunk) != chunk.size())
            return cannotWrite(destination, out.errorString());
    }
    if (!FileKeeping::SyncToDisk(out))
        return cannotWrite(destination, out.errorString());
    return {};
}

// Copies the folder's entries below `to`, except the top-level files `skip` names; a symbolic
// link anywhere stops the copy.
QString copyFolder(const QString& from, const QString& to,
                   const std::function<bool(const QFileInfo&)>& skip) {
    const auto entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isSymLink())
            return QStringLiteral("%1 is a symbolic link, which Veltrano never follows.")
                .arg(QDir::toNativeSeparators(entry.filePath()));
        QString problem;
        if (entry.isDir())
            problem = QDir().mkdir(target)
                          ? copyFolder(entry.filePath(), target, [](const QFileInfo&) { return false; })
                          : cannotWrite(target, QStringLiteral("the folder can't be made."));
        else if (!skip(entry))
            problem = copyNewFile(entry.filePath(), target);
        if (!problem.isEmpty())
            return problem;
    }
    return {};
}

// The product's own files in a folder that holds none of them.
QString writeProductFiles(const QString& folder, const CustomProduct& product, bool newImage) {
    if (newImage) {
        const QString image = folder + QLatin1Char('/') + ProductCatalogue::SalesPageImageName() +
                              QLatin1Char('.') + ProductImage::FormatOf(product.image);
        if (const QString problem = copyNewFile(product.image, image); !problem.isEmpty())
            return problem;
    }
    if (const QString problem = writeNewFile(folder + QLatin1Char('/') + ProductCatalogue::DownloadFileName(),
                                             product.downloadAddress.trimmed().toUtf8());
        !problem.isEmpty())
        return problem;
    if (product.salesText.trimmed().isEmpty())
        return {};
    return writeNewFile(folder + QLatin1Char('/') + ProductCatalogue::SalesTextFileName(),
                        product.salesText.toUtf8());
}

} // namespace

CustomProductWriter::CustomProductWriter(AppRoots roots)
    : m_roots(std::move(roots))
    , m_catalogue(m_roots) {}

QString CustomProductWriter::FolderName(const QString& name) {
    return typedName(name).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

QString CustomProductWriter::DisplayName(const QString& name) {
    return ProductCatalogue::CustomPrefix() + ProductCatalogue::FormatFolderName(FolderName(name));
}

CustomProduct CustomProductWriter::Read(const QString& displayName) const {
    const ProductRecord record = m_catalogue.ResolveCustom(displayName);
    CustomProduct product;
    product.name = QString(displayName).remove(0, ProductCatalogue::CustomPrefix().size());
    product.image = record.salesPageImage;
    product.downloadAddress = record.downloadAddress;
    product.salesText = record.salesText;
    return product;
}

QString CustomProductWriter::RootProblem() const {
    const QFileInfo root(m_roots.MyProducts());
    if (root.isSymLink())
        return QStringLiteral("The folder for your own products is a symbolic link, which Veltrano never "
                              "writes through: %1")
            .arg(QDir::toNativeSeparators(root.filePath()));
    if (!root.isDir() && !QDir().mkdir(root.filePath()))
        return QStringLiteral("The folder for your own products could not be made: %1")
            .arg(QDir::toNativeSeparators(root.filePath()));
    return {};
}

QString CustomProductWriter::Located(const QString& displayName) const {
    return ProductCatalogue::LocateFolder(m_catalogue.CustomProductFolder(displayName));
}

QString CustomProductWriter::Problem(const CustomProduct& product, const QString& replacing) const {
    if (const QString problem = nameProblem(product.name); !problem.isEmpty())
        return problem;
    const QString folder = FolderName(product.name);
    const QString bareName = ProductCatalogue::FormatFolderName(folder);
    const QString listed = ProductCatalogue::CustomPrefix() + bareName;
    // The lists map the name back to its folder in their own way: it must come back to this one.
    if (QFileInfo(m_catalogue.CustomProductFolder(listed)).fileName() != folder)
        return QStringLiteral("\"%1\" can't be a product name: the product list would not find its folder "
                              "again. Write it with other letters.")
            .arg(typedName(product.name));
    for (const QString& builtIn : BuiltInProducts::Names())
        if (bareName.compare(builtIn, Qt::CaseInsensitive) == 0)
            return QStringLiteral("\"%1\" is the name of a built-in product: give yours another name.")
                .arg(builtIn);
    const QString own = replacing.isEmpty() ? QString() : QFileInfo(Located(replacing)).fileName();
    const QStringList entries =
        QDir(m_roots.MyProducts())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (!own.isEmpty() && entry == own)
            continue;
        // Any entry the lists would show under this name takes the folder's place: one spelt
        // with capitals or blanks, which the lists find without regard to case, or a file.
        if (ProductCatalogue::FormatFolderName(entry) == bareName)
            return QStringLiteral("There is a product named \"%1\" already, in the folder \"%2\": give this "
                                  "one another name.")
                .arg(listed, entry);
    }
    if (const QString problem = imageProblem(product.image); !problem.isEmpty())
        return problem;
    return addressProblem(product.downloadAddress);
}

QString CustomProductWriter::ScratchName(const QString& kind) const {
    for (;;) {
        const QString name =
            m_roots.MyProducts() + QStringLiteral("/.veltrano-%1-%2")
                                       .arg(kind)
                                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (!QFileInfo(name).exists() && !QFileInfo(name).isSymLink())
            return name;
    }
}

CustomProductWriter::Result CustomProductWriter::Create(const CustomProduct& product) {
    if (const QString problem = RootProblem(); !problem.isEmpty())
        return {{}, problem};
    if (const QString problem = Problem(product); !problem.isEmpty())
        return {{}, problem};
    const QString scratch = ScratchName(QStringLiteral("new"));
    if (!QDir().mkdir(scratch))
        return {{}, cannotWrite(scratch, QStringLiteral("the folder can't be made."))};
    QString problem = writeProductFiles(scratch, product, true);
    const QString target = m_roots.MyProducts() + QLatin1Char('/') + FolderName(product.name);
    // Renaming never replaces: a folder made meanwhile under that name stays as it is.
    if (problem.isEmpty() && !QDir().rename(scratch, target))
        problem = cannotWrite(target, QStringLiteral("the folder can't be renamed into place."));
    if (!problem.isEmpty()) {
        KillFolder(scratch, m_roots.WritableRoots());
        return {{}, problem};
    }
    return {DisplayName(product.name), {}};
}

CustomProductWriter::Result CustomProductWriter::Update(const QString& displayName,
                                                        const CustomProduct& product) {
    if (const QString problem = RootProblem(); !problem.isEmpty())
        return {{}, problem};
    const QString located = Located(displayName);
    if (located.isEmpty())
        return {{}, QStringLiteral("The folder of %1 is no longer in \"myproducts\".").arg(displayName)};
    if (const QString link = m_catalogue.LinkInCustomProduct(displayName); !link.isEmpty())
        return {{},
                QStringLiteral("%1 is a symbolic link, which Veltrano never follows.")
                    .arg(QDir::toNativeSeparators(link))};
    if (const QString problem = Problem(product, displayName); !problem.isEmpty())
        return {{}, problem};

    const QString ownImage = m_catalogue.ResolveCustom(displayName).salesPageImage;
    const bool newImage = QDir::cleanPath(product.image) != QDir::cleanPath(ownImage);
    const QString scratch = ScratchName(QStringLiteral("new"));
    if (!QDir().mkdir(scratch))
        return {{}, cannotWrite(scratch, QStringLiteral("the folder can't be made."))};
    QString problem = copyFolder(located, scratch, [newImage](const QFileInfo& file) {
        const QString name = file.fileName();
        return name == ProductCatalogue::DownloadFileName() ||
               name == ProductCatalogue::SalesTextFileName() ||
               (newImage && ProductImage::HasImageExtension(name));
    });
    if (problem.isEmpty())
        problem = writeProductFiles(scratch, product, newImage);

    // A hand-made folder keeps its spelling while the product keeps its name.
    const QString current = QFileInfo(located).fileName();
    const QString folder = FolderName(product.name);
    const QString target = m_roots.MyProducts() + QLatin1Char('/') +
                           (folder.compare(current, Qt::CaseInsensitive) == 0 ? current : folder);
    const QString aside = ScratchName(QStringLiteral("old"));
    if (problem.isEmpty() && !QDir().rename(located, aside))
        problem = cannotWrite(located, QStringLiteral("the folder can't be renamed; is a file in it open?"));
    else if (problem.isEmpty() && !QDir().rename(scratch, target)) {
        problem = cannotWrite(target, QStringLiteral("the folder can't be renamed into place."));
        QDir().rename(aside, located);
    }
    if (!problem.isEmpty()) {
        KillFolder(scratch, m_roots.WritableRoots());
        return {{}, problem};
    }
    // What is left of the old folder is hidden from the lists; it is the user's copy if it stays.
    KillFolder(aside, m_roots.WritableRoots());
    return {DisplayName(product.name), {}};
}

CustomProductWriter::Result CustomProductWriter::Remove(const QString& displayName,
                                                        const QStringList& usedBy) {
    if (!usedBy.isEmpty())
        return {{},
                QStringLiteral("%1 is used by %2. Choose another product there first.")
                    .arg(displayName, usedBy.join(QStringLiteral(", ")))};
    const QString located = Located(displayName);
    if (located.isEmpty())
        return {{}, QStringLiteral("The folder of %1 is no longer in \"myproducts\".").arg(displayName)};
    // Out of the lists at once, then removed; a link goes, never what it points to.
    const QString aside = ScratchName(QStringLiteral("old"));
    if (!QDir().rename(located, aside))
        return {{},
                QStringLiteral("Cannot remove %1: the folder can't be renamed; is a file in it open?")
                    .arg(QDir::toNativeSeparators(located))};
    const bool gone =
        QFileInfo(aside).isSymLink() ? QFile::remove(aside) : KillFolder(aside, m_roots.WritableRoots());
    if (!gone)
        return {displayName,
                QStringLiteral("%1 is no longer listed, but its folder could not be removed completely: %2")
                    .arg(displayName, QDir::toNativeSeparators(aside))};
    return {displayName, {}};
}
