#include "catalogue/ImageSize.h"

#include <QFile>

namespace {

// JPEG keeps its size in a start-of-frame segment that may follow long metadata segments.
constexpr qint64 kHeadBytes = 256 * 1024;

quint32 byteAt(const QByteArray& data, qsizetype at) {
    return quint8(data.at(at));
}

quint32 littleEndian16(const QByteArray& data, qsizetype at) {
    return byteAt(data, at) | byteAt(data, at + 1) << 8;
}

quint32 littleEndian24(const QByteArray& data, qsizetype at) {
    return littleEndian16(data, at) | byteAt(data, at + 2) << 16;
}

quint32 bigEndian16(const QByteArray& data, qsizetype at) {
    return byteAt(data, at) << 8 | byteAt(data, at + 1);
}

quint32 bigEndian32(const QByteArray& data, qsizetype at) {
    return bigEndian16(data, at) << 16 | bigEndian16(data, at + 2);
}

QSize sized(quint32 width, quint32 height) {
    if (width == 0 || height == 0 || width > 0x7fffffff || height > 0x7fffffff)
        return {};
    return {int(width), int(height)};
}

QSize gifSize(const QByteArray& data) {
    if (data.size() < 10)
        return {};
    return sized(littleEndian16(data, 6), littleEndian16(data, 8));
}

QSize pngSize(const QByteArray& data) {
    if (data.size() < 24 || data.mid(12, 4) != "IHDR")
        return {};
    return sized(bigEndian32(data, 16), bigEndian32(data, 20));
}

bool isStartOfFrame(quint32 marker) {
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic coding) share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

QSize jpegSize(const QByteArray& data) {
    qsizetype at = 2;
    while (at + 4 <= data.size()) {
        if (byteAt(data, at) != 0xFF)
            return {};
        const quint32 marker = byteAt(data, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // segments without a length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, or the image data before any frame
            return {};
        const qsizetype length = bigEndian16(data, at + 2);
        if (length < 2)
            return {};
        if (isStartOfFrame(marker))
            return at + 9 <= data.size() ? sized(bigEndian16(data, at + 7), bigEndian16(data, at + 5))
                                         : QSize();
        at += 2 + length;
    }
    return {};
}

QSize webpSize(const QByteArray& data) {
    if (data.size() < 30)
        return {};
    const QByteArray chunk = data.mid(12, 4);
    if (chunk == "VP8 ") {
        // A key frame: start code, then 14-bit width and height (the top two bits scale).
        if (data.mid(23, 3) != "\x9D\x01\x2A")
            return {};
        return sized(littleEndian16(data, 26) & 0x3FFF, littleEndian16(data, 28) & 0x3FFF);
    }
    if (chunk == "VP8L") {
        if (byteAt(data, 20) != 0x2F)
            return {};
        const quint32 bits = littleEndian24(data, 21) | byteAt(data, 24) << 24;
        return sized((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (chunk == "VP8X")
        return sized(littleEndian24(data, 24) + 1, littleEndian24(data, 27) + 1);
    return {};
}

} // namespace

QSize ImageSize::OfData(const QByteArray& data) {
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return gifSize(data);
    if (data.startsWith("\x89PNG\r\n\x1A\n"))
        return pngSize(data);
    if (data.startsWith("\xFF\xD8"))
        return jpegSize(data);
    if (data.size() >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return webpSize(data);
    return {};
}

QSize ImageSize::OfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(kHeadBytes);
    QSize size = OfData(head);
    // Metadata longer than the first read: read the rest before giving up on a JPEG.
    if (!size.isValid() && head.startsWith("\xFF\xD8") && !file.atEnd())
        size = OfData(head + file.readAll());
    return size;
}
