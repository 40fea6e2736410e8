#include "plugin/JsonDuplicateKeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QSet>

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

// Reads the string whose opening quote is at `i`; returns the position after its closing quote.
// Qt's own reader decodes it, escapes included, so keys compare as the file means them.
qsizetype readString(const QByteArray& json, qsizetype i, QString& text) {
    qsizetype end = i + 1;
    while (end < json.size() && json[end] != '"')
        end += json[end] == '\\' ? 2 : 1;
    const QByteArray literal = json.mid(i, end + 1 - i);
    text = QJsonDocument::fromJson('[' + literal + ']').array().at(0).toString();
    return end + 1;
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
