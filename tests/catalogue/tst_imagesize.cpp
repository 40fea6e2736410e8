#include "catalogue/ImageSize.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray encoded(const QSize& size, const char* format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray littleEndian(quint32 value, int bytes) {
    QByteArray result;
    for (int i = 0; i < bytes; ++i)
        result += char((value >> (8 * i)) & 0xFF);
    return result;
}

QByteArray webp(const QByteArray& chunk, const QByteArray& payload) {
    const QByteArray body = chunk + littleEndian(quint32(payload.size()), 4) + payload;
    return "RIFF" + littleEndian(quint32(body.size() + 4), 4) + "WEBP" + body;
}

// Headers written by hand after the WebP container's description: lossy, lossless and extended.
QByteArray webpLossy(int width, int height) {
    return webp("VP8 ", QByteArray("\x30\x01\x00\x9D\x01\x2A", 6) + littleEndian(quint32(width), 2) +
                            littleEndian(quint32(height), 2) + QByteArray(8, '\0'));
}

QByteArray webpLossless(int width, int height) {
    const quint32 bits = quint32(width - 1) | quint32(height - 1) << 14;
    return webp("VP8L", "\x2F" + littleEndian(bits, 4) + QByteArray(8, '\0'));
}

QByteArray webpExtended(int width, int height) {
    return webp("VP8X", QByteArray(4, '\0') + littleEndian(quint32(width - 1), 3) +
                            littleEndian(quint32(height - 1), 3) + QByteArray(8, '\0'));
}

QByteArray gif(int width, int height) {
    return "GIF89a" + littleEndian(quint32(width), 2) + littleEndian(quint32(height), 2) +
           QByteArray("\x00\x00\x00", 3);
}

// A JPEG whose start of frame comes after `segments` application segments of nearly 64 KiB.
QByteArray jpegWithMetadata(const QSize& size, int segments) {
    const QByteArray plain = encoded(size, "JPEG");
    QByteArray metadata;
    for (int i = 0; i < segments; ++i)
        metadata += QByteArray("\xFF\xE1\xFF\xFF", 4) + QByteArray(0xFFFF - 2, 'x');
    return plain.left(2) + metadata + plain.mid(2);
}

} // namespace

class tst_ImageSize : public QObject {
    Q_OBJECT

private slots:
    void sizesFromHeaders_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("size");
        // Odd and lopsided sizes, and the largest each field holds, catch swapped or cut fields.
        for (const QSize& size : {QSize(1, 1), QSize(317, 211), QSize(3, 2000), QSize(2001, 7)}) {
            const QString name = QString::number(size.width()) + "x" + QString::number(size.height());
            QTest::newRow(qPrintable("png " + name)) << encoded(size, "PNG") << size;
            QTest::newRow(qPrintable("jpeg " + name)) << encoded(size, "JPEG") << size;
            QTest::newRow(qPrintable("gif " + name)) << gif(size.width(), size.height()) << size;
            QTest::newRow(qPrintable("webp lossy " + name)) << webpLossy(size.width(), size.height()) << size;
            QTest::newRow(qPrintable("webp lossless " + name))
                << webpLossless(size.width(), size.height()) << size;
            QTest::newRow(qPrintable("webp extended " + name))
                << webpExtended(size.width(), size.height()) << size;
        }
        QTest::newRow("gif largest") << gif(65535, 65535) << QSize(65535, 65535);
        QTest::newRow("webp lossy largest") << webpLossy(16383, 16383) << QSize(16383, 16383);
        QTest::newRow("webp lossy scale bits ignored")
            << webpLossy(0xC000 | 640, 0x4000 | 480) << QSize(640, 480);
        QTest::newRow("webp lossless largest") << webpLossless(16384, 16384) << QSize(16384, 16384);
        QTest::newRow("webp extended large") << webpExtended(16777216, 3) << QSize(16777216, 3);
        QTest::newRow("jpeg after 200 KiB of metadata") << jpegWithMetadata({640, 480}, 3) << QSize(640, 480);

        const QByteArray frameOnly("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x03\x00\x05", 11);
        QTest::newRow("jpeg ending just after its size") << frameOnly << QSize(5, 3);
        QTest::newRow("jpeg ending inside its size") << frameOnly.left(10) << QSize();

        QTest::newRow("empty") << QByteArray() << QSize();
        QTest::newRow("text") << QByteArray("GIF is a format") << QSize();
        QTest::newRow("gif cut short") << gif(10, 10).left(9) << QSize();
        QTest::newRow("gif of no pixels") << gif(0, 10) << QSize();
        QTest::newRow("png cut short") << encoded({40, 30}, "PNG").left(23) << QSize();
        QTest::newRow("jpeg cut before its frame") << jpegWithMetadata({40, 30}, 1).left(60000) << QSize();
        QTest::newRow("jpeg of no frame") << QByteArray("\xFF\xD8\xFF\xD9", 4) << QSize();
        QTest::newRow("webp cut short") << webpLossy(40, 30).left(29) << QSize();
        QTest::newRow("webp lossy without start code") << webp("VP8 ", QByteArray(20, '\0')) << QSize();
        QTest::newRow("webp of another chunk") << webp("ALPH", QByteArray(20, '\0')) << QSize();
    }
    void sizesFromHeaders() {
        QFETCH(QByteArray, data);
        QFETCH(QSize, size);
        QCOMPARE(ImageSize::OfData(data), size);
    }

    // Random sizes under a fixed seed, so a failure names a size that can be replayed.
    void randomSizes() {
        QRandomGenerator random(20261209);
        for (int i = 0; i < 40; ++i) {
            const QSize size(random.bounded(1, 3000), random.bounded(1, 3000));
            QCOMPARE(ImageSize::OfData(encoded(size, i % 2 ? "PNG" : "JPEG")), size);
            QCOMPARE(ImageSize::OfData(webpLossless(size.width(), size.height())), size);
        }
    }

    // Every image the program ships, as Qt's own image readers see it.
    void shippedImagesAsQtReadsThem() {
        QDirIterator it(VELTRANO_DATA_DIR, {"*.gif", "*.jpg", "*.png", "*.webp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        int count = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            const QSize expected = QImageReader(path).size();
            QVERIFY2(expected.isValid(), qPrintable(path));
            QCOMPARE(ImageSize::OfFile(path), expected);
            ++count;
        }
        QVERIFY(count >= 21);
    }

    void filesLongOrMissing() {
        QTemporaryDir dir;
        const QString path = dir.filePath("big.jpg");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(jpegWithMetadata({123, 45}, 6));
        file.close();
        QCOMPARE(ImageSize::OfFile(path), QSize(123, 45));
        QCOMPARE(ImageSize::OfFile(dir.filePath("missing.png")), QSize());
    }
};

QTEST_GUILESS_MAIN(tst_ImageSize)
#include "tst_imagesize.moc"
