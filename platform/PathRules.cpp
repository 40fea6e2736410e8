#include "platform/PathRules.h"

#include <QDir>

PathRules PathRules::Posix() {
    return {Qt::CaseSensitive, false};
}

PathRules PathRules::Windows() {
    return {Qt::CaseInsensitive, true, 259};
}

bool PathRules::IsSeparator(QChar c) const {
    return c == QLatin1Char('/') || (backslashSeparates && c == QLatin1Char('\\'));
}

QString PathRules::Normalised(const QString& path) const {
    QString slashes = path;
    if (backslashSeparates)
        return QDir::cleanPath(slashes.replace(QLatin1Char('\\'), QLatin1Char('/')));
    // cleanPath takes "\\" for a separator on Windows: keep it a character of the name there too.
    const QChar standIn(0xFFFF);
    return QDir::cleanPath(slashes.replace(QLatin1Char('\\'), standIn)).replace(standIn, QLatin1Char('\\'));
}

bool PathRules::IsSameOrBelow(const QString& path, const QString& folder) const {
    const QString p = Normalised(path);
    QString f = Normalised(folder);
    if (p.isEmpty() || f.isEmpty())
        return false;
    if (p.compare(f, caseSensitivity) == 0)
        return true;
    // A root ("/", "C:/") already ends in its separator.
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return p.startsWith(f, caseSensitivity);
}

std::filesystem::path FileSystemPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}
