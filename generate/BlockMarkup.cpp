#include "generate/BlockMarkup.h"

namespace {

QString delimited(const QString& name, const QString& html) {
    return QStringLiteral("<!-- wp:%1 -->\n").arg(name) + html +
           QStringLiteral("\n<!-- /wp:%1 -->").arg(name);
}

QString serialized(const CopyBlock& block) {
    switch (block.kind) {
    case CopyBlock::Kind::Heading:
        return delimited(QStringLiteral("heading"),
                         QStringLiteral("<h2>") + block.content + QStringLiteral("</h2>"));
    case CopyBlock::Kind::Paragraph:
        return delimited(QStringLiteral("paragraph"),
                         QStringLiteral("<p>") + block.content + QStringLiteral("</p>"));
    case CopyBlock::Kind::List: {
        QStringList items;
        for (const QString& item : block.items)
            items << delimited(QStringLiteral("list-item"),
                               QStringLiteral("<li>") + item + QStringLiteral("</li>"));
        // Inner blocks are joined as the editor joins every sequence of blocks, so a copy opened
        // and saved unchanged stays the same text.
        return delimited(QStringLiteral("list"), QStringLiteral("<ul>") + items.join(QStringLiteral("\n\n")) +
                                                     QStringLiteral("</ul>"));
    }
    }
    return {};
}

} // namespace

QString SerializeBlocks(const QList<CopyBlock>& blocks) {
    QStringList parts;
    for (const CopyBlock& block : blocks)
        parts << serialized(block);
    return parts.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
}

QString BlockText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}
