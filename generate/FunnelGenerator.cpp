#include "generate/FunnelGenerator.h"

#include "catalogue/ImageSize.h"
#include "catalogue/ProductCatalogue.h"
#include "catalogue/ProductImage.h"
#include "funnel/FunnelModel.h"
#include "generate/DownloadLinks.h"
#include "generate/Escaping.h"
#include "generate/SalesCopyStart.h"
#include "generate/SwitchCode.h"
#include "generate/TemplateFiller.h"
#include "platform/BuildError.h"
#include "platform/KelvrinFile.h"
#include "platform/KelvrinParser.h"
#include "platform/KelvrinTools.h"
#include "platform/KillFldr.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void letEventsRun() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

const QString kCrLf = QStringLiteral("\r\n");
const QString kLf = QStringLiteral("\n");

} // namespace

QString FunnelGenerator::TokenFile(int n, const QString& page) {
    return QStringLiteral("funneltokens/funneltokens%1-%2.txt").arg(n).arg(page);
}

QString FunnelGenerator::SalesPageFile(int n) {
    return QStringLiteral("php/salespage-funnelitem-%1.php").arg(n);
}

QString FunnelGenerator::DownloadPageFile(int n) {
    return QStringLiteral("php/download-funnelitem-%1.php").arg(n);
}

QString FunnelGenerator::SalesCopyFile(int n) {
    return QStringLiteral("copy/start-%1.html").arg(n);
}

FunnelGenerator::FunnelGenerator(AppRoots roots, KelvrinTools& tools, Messages& messages)
    : m_roots(std::move(roots))
    , m_tools(tools)
    , m_messages(messages) {}

bool FunnelGenerator::CheckFunnelItems(const FunnelModel& funnel) {
    for (int n = 0; n < FunnelModel::SlotCount; ++n)
        if (funnel.IsPresent(n) && funnel.Slot(n).cboProduct.isEmpty())
            return false;
    return true;
}

QString FunnelGenerator::WorkPath(const QString& relative) const {
    return m_roots.WorkArea() + relative;
}

QString FunnelGenerator::ShippedPath(const QString& relative) const {
    return m_roots.Shipped() + relative;
}

void FunnelGenerator::MakeFolder(const QString& relative) {
    const QString folder = WorkPath(relative);
    if (!QDir().mkdir(folder))
        throw BuildError(
            BuildError::PathFileAccess,
            QStringLiteral("Cannot create the work folder %1 (is a file in it still in use?)").arg(folder));
    letEventsRun();
}

void FunnelGenerator::RebuildWorkArea() {
    // The work area is emptied in place, never removed and made again: an interruption at any
    // instant leaves a "temp" folder that the next build empties in turn. A missing one (removed
    // by hand, or by an older version killed mid-way) is made anew.
    const QString workArea = WorkPath(QString());
    const QFileInfo info(workArea);
    if (info.isSymLink() || (info.exists() && !info.isDir())) {
        if (!QFile::remove(workArea))
            throw BuildError(BuildError::PathFileAccess,
                             QStringLiteral("Cannot replace %1 by the work folder").arg(workArea));
    }
    if (!QFileInfo(workArea).isDir())
        MakeFolder(QString());
    const auto entries =
        QDir(workArea).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const bool removed = entry.isDir() && !entry.isSymLink()
                                 ? KillFolder(entry.filePath(), m_roots.WritableRoots())
                                 : QFile::remove(entry.filePath());
        if (!removed)
            throw BuildError(
                BuildError::PathFileAccess,
                QStringLiteral("Cannot empty the work folder: %1 cannot be removed (is it still in use?)")
                    .arg(entry.filePath()));
    }
    letEventsRun();
    MakeFolder(QStringLiteral("/images"));
    MakeFolder(QStringLiteral("/php"));
    MakeFolder(QStringLiteral("/funneltokens"));
    MakeFolder(QStringLiteral("/copy"));
}

GenerationResult FunnelGenerator::ProcessFunnel(const FunnelModel& funnel, const FunnelTokens& earlier) {
    RebuildWorkArea();
    GenerationResult result;
    result.tokens = AssignTokens(funnel.PresentSlots(), earlier, m_tools);
    QString txtDownloadItems;

    for (int n = 0; n < FunnelModel::SlotCount; ++n) {
        if (!funnel.IsPresent(n))
            continue;
        const QString number = QString::number(n);
        const FunnelSlot& slot = funnel.Slot(n);

        const QString& salesToken = result.tokens.sales[size_t(n)];
        const QString& downloadToken = result.tokens.download[size_t(n)];
        KelvrinFile::SaveTextFile(
            salesToken, WorkPath(QLatin1Char('/') + TokenFile(n, QStringLiteral("salespage"))));
        AddSwitchEntry(result.switchEntries, n, salesToken, false);
        KelvrinFile::SaveTextFile(
            downloadToken,
            WorkPath(QLatin1Char('/') + TokenFile(n, QStringLiteral("downloadpage"))));
        AddSwitchEntry(result.switchEntries, n, downloadToken, true);

        const QString metaboxTemplate = ShippedPath(n == 0 ? QStringLiteral("/templates/metabox0.txt")
                                                           : QStringLiteral("/templates/metabox.txt"));
        result.metaboxes += FillTemplate(metaboxTemplate,
                                         {
                                             {QStringLiteral("#FUNNELITEM#"), FunnelModel::Title(n)},
                                             {QStringLiteral("#FUNNELITEM_NOSPACES#"),
                                              QStringLiteral("funnelitem_") + number},
                                             {QStringLiteral("#FUNNELCODE#"), salesToken},
                                             {QStringLiteral("#DOWNLOADCODE#"), downloadToken},
                                         }) +
                            kLf;

        const QString source = KelvrinParser::ReplaceText(slot.txtSalesPageImage, kCrLf, QString());
        if (!KelvrinTools::PathExists(source, false)) {
            m_messages.Show(QStringLiteral("Veltrano"), QStringLiteral("Source file does not exist."));
            throw BuildError(
                BuildError::FileNotFound,
                QStringLiteral("The sales page image of \"%1\" does not exist: %2")
                    .arg(FunnelModel::Title(n), source.isEmpty() ? QStringLiteral("(no image)") : source));
        }
        // The copy gets a fixed name from its checked format, whatever the source was called.
        const QString format = ProductImage::FormatOf(source);
        if (format.isEmpty())
            throw BuildError(BuildError::InvalidInput,
                             QStringLiteral("The sales page image of \"%1\" is not a GIF, JPEG, PNG or WebP "
                                            "image: %2")
                                 .arg(FunnelModel::Title(n), source));
        const QString imageName = QStringLiteral("funnelitem-") + number + QLatin1Char('.') + format;
        const QString destination = WorkPath(QStringLiteral("/images/")) + imageName;
        KelvrinFile::CopyFile(source, destination);

        // The page reserves the image's room before it loads, so nothing jumps.
        const QSize imageSize = ImageSize::OfFile(destination);
        if (!imageSize.isValid())
            throw BuildError(BuildError::InvalidInput,
                             QStringLiteral("The sales page image of \"%1\" is damaged: its size can't be "
                                            "read: %2")
                                 .arg(FunnelModel::Title(n), source));
        const QString productName =
            KelvrinParser::ReplaceText(slot.cboProduct, ProductCatalogue::CustomPrefix(), QString());

        const QString salesPage = FillTemplate(
            ShippedPath(QStringLiteral("/templates/salespage-funnelitem.php")),
            {
                {QStringLiteral("#IMAGE#"), imageName},
                {QStringLiteral("#IMAGE_WIDTH#"), QString::number(imageSize.width())},
                {QStringLiteral("#IMAGE_HEIGHT#"), QString::number(imageSize.height())},
                {QStringLiteral("#FUNNELITEM_BUTTON#"), QStringLiteral("funnelitem_button") + number},
                {QStringLiteral("#PRODUCT_NAME#"), HtmlEscaped(productName)},
            });
        KelvrinFile::SaveTextFile(salesPage,
                                  WorkPath(QLatin1Char('/') + SalesPageFile(n)));

        // A custom product keeps the preview path of a built-in one chosen before it in the slot,
        // so the kind decides, not the path.
        const QString previewPage = ProductCatalogue::KindOf(slot.cboProduct) == ProductKind::BuiltIn
                                        ? slot.txtSalesPageHTML
                                        : QString();
        KelvrinFile::SaveTextFile(SalesCopyStart::ForProduct(productName, previewPage),
                                  WorkPath(QLatin1Char('/') + SalesCopyFile(n)));

        BuildDownloadLinks(funnel, n, txtDownloadItems);
        const QString downloadPage =
            FillTemplate(ShippedPath(QStringLiteral("/templates/downloadpage-funnelitem.php")),
                         {{QStringLiteral("#DOWNLOAD_LINKS#"), PhpSingleQuoted(txtDownloadItems)}});
        KelvrinFile::SaveTextFile(downloadPage,
                                  WorkPath(QLatin1Char('/') + DownloadPageFile(n)));
    }

    QString closing;
    KelvrinFile::LoadTextFile(closing, ShippedPath(QStringLiteral("/templates/metaboxclosing.txt")));
    result.metaboxes += kLf + closing;
    return result;
}
