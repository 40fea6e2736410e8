#include "generate/HtmlTokens.h"

#include <QHash>

#include <algorithm>

namespace {

bool isAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isHtmlSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r') || c == QLatin1Char('\f');
}

// The value of an ASCII digit or hexadecimal letter, else -1.
int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

const QHash<QString, char32_t>& namedReferences() {
    static const QHash<QString, char32_t> names{
        {QStringLiteral("amp"), U'&'},     {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},      {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},   {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("copy"), 0xA9},    {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("trade"), 0x2122}, {QStringLiteral("hellip"), 0x2026},
        {QStringLiteral("mdash"), 0x2014}, {QStringLiteral("ndash"), 0x2013},
        {QStringLiteral("lsquo"), 0x2018}, {QStringLiteral("rsquo"), 0x2019},
        {QStringLiteral("sbquo"), 0x201A}, {QStringLiteral("ldquo"), 0x201C},
        {QStringLiteral("rdquo"), 0x201D}, {QStringLiteral("bdquo"), 0x201E},
        {QStringLiteral("laquo"), 0xAB},   {QStringLiteral("raquo"), 0xBB},
        {QStringLiteral("bull"), 0x2022},  {QStringLiteral("middot"), 0xB7},
        {QStringLiteral("euro"), 0x20AC},  {QStringLiteral("pound"), 0xA3},
        {QStringLiteral("cent"), 0xA2},    {QStringLiteral("yen"), 0xA5},
        {QStringLiteral("sect"), 0xA7},    {QStringLiteral("para"), 0xB6},
        {QStringLiteral("deg"), 0xB0},     {QStringLiteral("plusmn"), 0xB1},
        {QStringLiteral("times"), 0xD7},   {QStringLiteral("divide"), 0xF7},
        {QStringLiteral("frac12"), 0xBD},  {QStringLiteral("frac14"), 0xBC},
        {QStringLiteral("frac34"), 0xBE},  {QStringLiteral("shy"), 0xAD},
        {QStringLiteral("iexcl"), 0xA1},   {QStringLiteral("iquest"), 0xBF},
        {QStringLiteral("check"), 0x2713}, {QStringLiteral("rarr"), 0x2192},
        {QStringLiteral("larr"), 0x2190},  {QStringLiteral("auml"), 0xE4},
        {QStringLiteral("ouml"), 0xF6},    {QStringLiteral("uuml"), 0xFC},
        {QStringLiteral("Auml"), 0xC4},    {QStringLiteral("Ouml"), 0xD6},
        {QStringLiteral("Uuml"), 0xDC},    {QStringLiteral("szlig"), 0xDF},
        {QStringLiteral("aacute"), 0xE1},  {QStringLiteral("agrave"), 0xE0},
        {QStringLiteral("acirc"), 0xE2},   {QStringLiteral("eacute"), 0xE9},
        {QStringLiteral("egrave"), 0xE8},  {QStringLiteral("ecirc"), 0xEA},
        {QStringLiteral("iacute"), 0xED},  {QStringLiteral("oacute"), 0xF3},
        {QStringLiteral("uacute"), 0xFA},  {QStringLiteral("ccedil"), 0xE7},
        {QStringLiteral("ntilde"), 0xF1},  {QStringLiteral("Eacute"), 0xC9},
    };
    return names;
}

void appendCodePoint(QString& out, char32_t code) {
    // What a browser shows for references to nothing a text may hold.
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    out += QString::fromUcs4(&code, 1);
}

// Reads one character reference at `text[at]` == '&'. Returns how many characters it took, or 0
// when there is none: the '&' is then a character of its own.
qsizetype decodeReference(QStringView text, qsizetype at, QString& out) {
    qsizetype i = at + 1;
    if (i < text.size() && text[i] == QLatin1Char('#')) {
        ++i;
        const bool hex = i < text.size() && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'));
        if (hex)
            ++i;
        const qsizetype digitsStart = i;
        char32_t code = 0;
        for (; i < text.size(); ++i) {
            const int digit = digitValue(text[i]);
            if (digit < 0 || digit >= (hex ? 16 : 10))
                break;
            // Kept above the largest code point without running over.
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(digit), 0x110000);
        }
        if (i == digitsStart)
            return 0;
        if (i < text.size() && text[i] == QLatin1Char(';'))
            ++i;
        appendCodePoint(out, code);
        return i - at;
    }
    while (i < text.size() && (isAsciiLetter(text[i]) || digitValue(text[i]) >= 0))
        ++i;
    if (i == at + 1 || i >= text.size() || text[i] != QLatin1Char(';'))
        return 0;
    const auto found = namedReferences().constFind(text.mid(at + 1, i - at - 1).toString());
    if (found == namedReferences().constEnd())
        return 0;
    appendCodePoint(out, *found);
    return i + 1 - at;
}

// Reads a tag's attributes from `html[i]` up to its closing '>'. Returns the position after the
// '>', or -1 when the text ends first.
qsizetype readAttributes(QStringView html, qsizetype i, HtmlToken& token) {
    const qsizetype n = html.size();
    while (i < n) {
        const QChar c = html[i];
        if (c == QLatin1Char('>'))
            return i + 1;
        if (isHtmlSpace(c) || c == QLatin1Char('/')) {
            ++i;
            continue;
        }
        const qsizetype nameStart = i;
        while (i < n && !isHtmlSpace(html[i]) && html[i] != QLatin1Char('>') && html[i] != QLatin1Char('/') &&
               (html[i] != QLatin1Char('=') || i == nameStart))
            ++i;
        const QString name = html.mid(nameStart, i - nameStart).toString().toLower();
        while (i < n && isHtmlSpace(html[i]))
            ++i;
        QString value;
        if (i < n && html[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && isHtmlSpace(html[i]))
                ++i;
            if (i < n && (html[i] == QLatin1Char('"') || html[i] == QLatin1Char('\''))) {
                const QChar quote = html[i];
                const qsizetype close = html.indexOf(quote, i + 1);
                if (close < 0)
                    return -1;
                value = DecodeHtmlEntities(html.mid(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !isHtmlSpace(html[i]) && html[i] != QLatin1Char('>'))
                    ++i;
                value = DecodeHtmlEntities(html.mid(valueStart, i - valueStart));
            }
        }
        token.attributes.append({name, value});
    }
    return -1;
}

qsizetype skipPast(QStringView html, qsizetype from, QStringView end) {
    const qsizetype found = html.indexOf(end, from, Qt::CaseInsensitive);
    return found < 0 ? html.size() : found + end.size();
}

} // namespace

QString HtmlToken::Attribute(const QString& attributeName) const {
    for (const auto& [key, value] : attributes)
        if (key == attributeName)
            return value;
    return {};
}

QString DecodeHtmlEntities(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char('&')) {
            if (const qsizetype taken = decodeReference(text, i, out)) {
                i += taken;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

QList<HtmlToken> TokenizeHtml(QStringView html) {
    QList<HtmlToken> tokens;
    const qsizetype n = html.size();
    qsizetype textStart = 0;
    qsizetype i = 0;
    const auto flushText = [&](qsizetype end) {
        if (end > textStart)
            tokens.append(
                {HtmlToken::Kind::Text, {}, DecodeHtmlEntities(html.mid(textStart, end - textStart)), {}});
    };
    while (i < n) {
        i = html.indexOf(QLatin1Char('<'), i);
        if (i < 0 || i + 1 >= n)
            break;
        const QChar next = html[i + 1];
        if (html.mid(i).startsWith(QLatin1String("<!--"))) {
            flushText(i);
            i = skipPast(html, i + 4, u"-->");
            textStart = i;
        } else if (next == QLatin1Char('!') || next == QLatin1Char('?')) {
            flushText(i);
            i = skipPast(html, i + 2, u">");
            textStart = i;
        } else if (isAsciiLetter(next) ||
                   (next == QLatin1Char('/') && i + 2 < n && isAsciiLetter(html[i + 2]))) {
            flushText(i);
            HtmlToken token;
            const bool closing = next == QLatin1Char('/');
            token.kind = closing ? HtmlToken::Kind::EndTag : HtmlToken::Kind::StartTag;
            qsizetype j = i + (closing ? 2 : 1);
            const qsizetype nameStart = j;
            while (j < n && !isHtmlSpace(html[j]) && html[j] != QLatin1Char('/') &&
                   html[j] != QLatin1Char('>'))
                ++j;
            token.name = html.mid(nameStart, j - nameStart).toString().toLower();
            j = readAttributes(html, j, token);
            if (j < 0)
                return tokens;
            if (closing)
                token.attributes.clear();
            tokens.append(token);
            i = textStart = j;
            // Their contents are code, never text of the page.
            if (!closing && (token.name == QLatin1String("script") || token.name == QLatin1String("style"))) {
                i = skipPast(html, i, QString(QStringLiteral("</") + token.name));
                i = skipPast(html, i, u">");
                textStart = i;
            }
        } else {
            ++i;
        }
    }
    flushText(n);
    return tokens;
}
