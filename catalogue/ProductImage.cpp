#include "catalogue/ProductImage.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString formatOfExtension(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("jpeg"))
        return QStringLiteral("jpg");
    if (suffix == QLatin1String("gif") || suffix == QLatin1String("jpg") || suffix == QLatin1String("png") ||
        suffix == QLatin1String("webp"))
        return suffix;
    return {};
}

QString formatOfSignature(const QByteArray& head) {
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpg");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QStringLiteral("webp");
    return {};
}

} // namespace

bool ProductImage::HasImageExtension(const QString& fileName) {
    return !formatOfExtension(fileName).isEmpty();
}

QString ProductImage::FormatOf(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return {};
    const QString byName = formatOfExtension(path);
    if (byName.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return formatOfSignature(file.read(12)) == byName ? byName : QString();
}
