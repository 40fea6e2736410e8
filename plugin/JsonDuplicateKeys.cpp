#include "plugin/JsonDuplicateKeys.h"

#include <QList>
#include <QSet>

#include <algorithm>

namespace {

struct Level {
    explicit Level(bool object)
        : isObject(object) {}
    bool isObject;
    QSet<QString> keys;
    // The key or the list position that leads to the level below.
    QString key;
    int index = 0;
};

QString pathOf(const QList<Level>& levels, const QString& lastKey) {
    QString path;
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const bool last = i == levels.size() - 1;
        if (levels[i].isObject) {
            if (!path.isEmpty())
                path += QLatin1Char('.');
            path += last ? lastKey : levels[i].key;
        } else if (!last) {
            path += QStringLiteral("[%1]").arg(levels[i].index);
        }
    }
    return path;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the string whose opening quote is at `i`; returns the position after its closing quote.
qsizetype readString(const QByteArray& json, qsizetype i, QString& text) {
    QByteArray run;
    for (++i; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            run += json[i];
            continue;
        }
        text += QString::fromUtf8(run);
        run.clear();
        if (++i >= json.size())
            break;
        switch (json[i]) {
        case 'b':
            text += QLatin1Char('\b');
            break;
        case 'f':
            text += QLatin1Char('\f');
            break;
        case 'n':
            text += QLatin1Char('\n');
            break;
        case 'r':
            text += QLatin1Char('\r');
            break;
        case 't':
            text += QLatin1Char('\t');
            break;
        case 'u': {
            // A surrogate pair arrives as two escapes and joins up in the text.
            int code = 0;
            for (int digit = 0; digit < 4 && i + 1 < json.size(); ++digit)
                code = code * 16 + std::max(0, hexValue(json[++i]));
            text += QChar(char16_t(code));
            break;
        }
        default: // '"', '\\', '/'
            text += QLatin1Char(json[i]);
        }
    }
    text += QString::fromUtf8(run);
    return i + 1;
}

} // namespace

QString FindDuplicateJsonKey(const QByteArray& json) {
    QList<Level> levels;
    bool expectKey = false;
    qsizetype i = 0;
    while (i < json.size()) {
        switch (json[i]) {
        case '{':
            levels.append(Level(true));
            expectKey = true;
            break;
        case '[':
            levels.append(Level(false));
            expectKey = false;
            break;
        case '}':
        case ']':
            if (!levels.isEmpty())
                levels.removeLast();
            expectKey = false;
            break;
        case ',':
            if (!levels.isEmpty()) {
                if (levels.last().isObject)
                    expectKey = true;
                else
                    ++levels.last().index;
            }
            break;
        case '"': {
            QString text;
            i = readString(json, i, text);
            if (expectKey && !levels.isEmpty()) {
                Level& level = levels.last();
                if (level.keys.contains(text))
                    return pathOf(levels, text);
                level.keys.insert(text);
                level.key = text;
                expectKey = false;
            }
            continue;
        }
        default: // blanks, ':', numbers and the words true, false, null
            break;
        }
        ++i;
    }
    return {};
}
