#include "generate/FunnelChecks.h"

#include "catalogue/ProductCatalogue.h"
#include "catalogue/ProductImage.h"
#include "funnel/FunnelModel.h"

#include <QFileInfo>
#include <QUrl>

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

} // namespace

bool IsWebAddress(const QString& address) {
    const QString text = withoutLineBreaks(address);
    for (QChar c : text)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QString FunnelRefusal(const FunnelModel& funnel, const ProductCatalogue& catalogue) {
    for (int n : funnel.PresentSlots()) {
        const FunnelSlot& slot = funnel.Slot(n);
        const QString item = QStringLiteral("\"%1\" (%2)").arg(slot.cboProduct, FunnelModel::Title(n));
        if (ProductCatalogue::KindOf(slot.cboProduct) == ProductKind::Custom) {
            const QString link = catalogue.LinkInCustomProduct(slot.cboProduct);
            if (!link.isEmpty())
                return QStringLiteral("The product %1 is refused: %2 is a symbolic link. Veltrano never "
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
    }
    return {};
}
