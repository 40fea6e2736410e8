#include "generate/FunnelChecks.h"

#include "catalogue/ProductCatalogue.h"
#include "catalogue/ProductImage.h"
#include "funnel/FunnelModel.h"

#include <QFileInfo>

namespace {

QString withoutLineBreaks(const QString& text) {
    QString result = text;
    return result.remove(QStringLiteral("\r\n"));
}

QString imageRefusal(const FunnelSlot& slot, const QString& item) {
    const QString image = withoutLineBreaks(slot.txtSalesPageImage);
    if (image.isEmpty())
        return QStringLiteral("%1 has no sales page image: put a .gif, .jpg, .png or .webp image into the "
                              "product's folder.")
            .arg(item);
    const QFileInfo info(image);
    if (info.isSymLink())
        return QStringLiteral("The sales page image of %1 is a symbolic link, which Veltrano never "
                              "follows: %2")
            .arg(item, image);
    if (info.exists() && ProductImage::FormatOf(image).isEmpty())
        return QStringLiteral("The sales page image of %1 must be a GIF, JPEG, PNG or WebP image whose "
                              "content matches its name: %2")
            .arg(item, image);
    return {};
}

QString itemRefusal(const FunnelModel& funnel, int n, const ProductCatalogue& catalogue,
                    const QString& item) {
    const FunnelSlot& slot = funnel.Slot(n);
    if (ProductCatalogue::KindOf(slot.cboProduct) == ProductKind::Custom) {
        const QString folder = catalogue.CustomProductFolder(slot.cboProduct);
        if (ProductCatalogue::LocateFolder(folder).isEmpty()) {
            // The list shows a folder's dashes as blanks, so a folder named with blanks is listed
            // but can't be found again.
            const QString expected = QFileInfo(folder).fileName();
            for (const QString& listed : catalogue.lstMyProductsFolder())
                if (listed.contains(QLatin1Char(' ')) &&
                    QString(listed).replace(QLatin1Char(' '), QLatin1Char('-')).toLower() == expected)
                    return QStringLiteral("%1 can't be read: its folder \"%2\" has a blank in "
                                          "its name. Rename the folder \"%3\" and restart Veltrano.")
                        .arg(item, listed, QString(listed).replace(QLatin1Char(' '), QLatin1Char('-')));
            return QStringLiteral("The folder of %1 is no longer in \"myproducts\".").arg(item);
        }
        const QString link = catalogue.LinkInCustomProduct(slot.cboProduct);
        if (!link.isEmpty())
            return QStringLiteral("%1 is refused: %2 is a symbolic link. Veltrano never "
                                  "follows links in \"myproducts\"; copy the files into the "
                                  "product's own folder.")
                .arg(item, link);
    }
    const QString image = imageRefusal(slot, item);
    if (!image.isEmpty())
        return image;
    const QString address = withoutLineBreaks(slot.txtProductDownloadUrl);
    if (!IsWebAddress(address))
        return address.isEmpty()
                   ? QStringLiteral("%1 has no download address: it needs a web address beginning "
                                    "with http:// or https://.")
                         .arg(item)
                   : QStringLiteral("The download address of %1 must be a web address beginning "
                                    "with http:// or https://, but it is \"%2\".")
                         .arg(item, address);
    return {};
}

} // namespace

QString ItemRefusal(const FunnelModel& funnel, int n, const ProductCatalogue& catalogue,
                    const QString& itemName) {
    const QString item =
        itemName.isEmpty()
            ? QStringLiteral("\"%1\" (%2)").arg(funnel.Slot(n).cboProduct, FunnelModel::Title(n))
            : itemName;
    QString refusal = itemRefusal(funnel, n, catalogue, item);
    if (!refusal.isEmpty())
        refusal[0] = refusal[0].toUpper();
    return refusal;
}

QString FunnelRefusal(const FunnelModel& funnel, const ProductCatalogue& catalogue) {
    for (int n : funnel.PresentSlots())
        if (const QString refusal = ItemRefusal(funnel, n, catalogue); !refusal.isEmpty())
            return refusal;
    return {};
}
