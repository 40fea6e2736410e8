#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// The pixel size of a GIF, PNG, JPEG or WebP image, read from its header, so the sales page can
// reserve the image's room before it loads. The core links no QtGui, whose image readers would
// decode far more than the size.
namespace ImageSize {

// The size stated by the image data's header; an invalid size when the data is none of the four
// formats or ends before its size.
QSize OfData(const QByteArray& data);

// The same for a file; an invalid size when it can't be read.
QSize OfFile(const QString& path);

} // namespace ImageSize
