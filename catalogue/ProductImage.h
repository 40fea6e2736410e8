#pragma once

#include <QString>

// Sales page images are shipped as public files of the plugin, so only real images qualify:
// a known extension, and content that begins with that format's signature.
namespace ProductImage {

// True for a file name ending in .gif, .jpg, .jpeg, .png or .webp, in any letter case.
bool HasImageExtension(const QString& fileName);

// "gif", "jpg", "png" or "webp" when the file's extension and its first bytes agree on that
// format; empty for anything else (another file, a mismatch, an unreadable file). Never
// follows a symbolic link.
QString FormatOf(const QString& path);

} // namespace ProductImage
