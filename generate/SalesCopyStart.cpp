#include "generate/SalesCopyStart.h"

#include "generate/BlockMarkup.h"
#include "generate/HtmlTokens.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

// Tags that only mark up text: their text is kept, the tags themselves are not.
const QSet<QString> kTransparentTags{
    QStringLiteral("a"),    QStringLiteral("span"),  QStringLiteral("font"),   QStringLiteral("u"),
    QStringLiteral("s"),    QStringLiteral("small"), QStringLiteral("big"),    QStringLiteral("sub"),
    QStringLiteral("sup"),  QStringLiteral("code"),  QStringLiteral("mark"),   QStringLiteral("abbr"),
    QStringLiteral("cite"), QStringLiteral("q"),     QStringLiteral("strike"), QStringLiteral("del"),
    QStringLiteral("ins"),  QStringLiteral("img"),   QStringLiteral("wbr"),    QStringLiteral("label"),
};

bool boldStyle(const QString& style) {
    static const QRegularExpression bold(QStringLiteral("font-weight\\s*:\\s*(bold|bolder|[6-9]00)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return bold.match(style).hasMatch();
}

QString collapsedSpaces(const QString& text) {
    static const QRegularExpression spaces(QStringLiteral("[ \\t\\n\\r\\f]+"));
    return QString(text).replace(spaces, QStringLiteral(" "));
}

// Reads the copy out of a preview page.
//
// Where the copy is: from the first <h1> to the first <table> opened after it. Every shipped
// preview page shows the product image above the <h1>, and puts the price box, the buy link and
// the small print below it in tables of their own; the plugin prints its own image, price and
// button. Inside that stretch only <h1>, <p> and <ul> become blocks; text in any other element
// is left out. Images are left out too: a block would point at a file the plugin doesn't carry,
// and no shipped page has one in its copy.
class CopyReader {
public:
    QList<CopyBlock> Read(const QString& html) {
        bool started = false;
        for (const HtmlToken& token : TokenizeHtml(html)) {
            if (!started) {
                started = token.kind == HtmlToken::Kind::StartTag && token.name == QLatin1String("h1");
                if (!started)
                    continue;
            }
            if (token.kind == HtmlToken::Kind::StartTag && token.name == QLatin1String("table"))
                break;
            if (token.kind == HtmlToken::Kind::Text)
                AddText(token.text);
            else if (token.kind == HtmlToken::Kind::StartTag)
                Open(token);
            else
                Close(token.name);
        }
        EndBlock();
        return m_blocks;
    }

private:
    enum class Place { Outside, Heading, Paragraph, ListItem };

    void Open(const HtmlToken& tag) {
        const QString& name = tag.name;
        if (name == QLatin1String("b") || name == QLatin1String("strong"))
            OpenInline(QStringLiteral("strong"));
        else if (name == QLatin1String("i") || name == QLatin1String("em"))
            OpenInline(QStringLiteral("em"));
        else if (name == QLatin1String("br"))
            LineBreak();
        else if (kTransparentTags.contains(name))
            return;
        else if (name == QLatin1String("h1"))
            StartBlock(Place::Heading, false);
        else if (name == QLatin1String("p") && m_place != Place::ListItem)
            StartBlock(Place::Paragraph, boldStyle(tag.Attribute(QStringLiteral("style"))));
        else if (name == QLatin1String("ul")) {
            // A list inside a list goes on as the outer one: the copy keeps one level.
            if (m_listDepth == 0) {
                EndBlock();
                m_inList = true;
            } else {
                EndItem();
            }
            ++m_listDepth;
        } else if (name == QLatin1String("li") && m_listDepth > 0) {
            EndItem();
            StartContent(Place::ListItem, boldStyle(tag.Attribute(QStringLiteral("style"))));
        } else if (name != QLatin1String("p")) {
            EndBlock();
        }
    }

    void Close(const QString& name) {
        if (name == QLatin1String("b") || name == QLatin1String("strong"))
            CloseInline(QStringLiteral("strong"));
        else if (name == QLatin1String("i") || name == QLatin1String("em"))
            CloseInline(QStringLiteral("em"));
        else if (kTransparentTags.contains(name) || name == QLatin1String("br"))
            return;
        else if (name == QLatin1String("li"))
            EndItem();
        else if (name == QLatin1String("ul")) {
            if (m_listDepth > 0 && --m_listDepth == 0)
                EndBlock();
            else
                EndItem();
        } else if (name == QLatin1String("p") && m_place == Place::ListItem)
            return;
        else
            EndBlock();
    }

    void StartBlock(Place place, bool bold) {
        EndBlock();
        StartContent(place, bold);
    }

    void StartContent(Place place, bool bold) {
        m_place = place;
        m_content.clear();
        m_open.clear();
        m_hasText = false;
        m_pendingSpace = false;
        if (bold)
            OpenInline(QStringLiteral("strong"));
    }

    void AddText(const QString& text) {
        if (m_place == Place::Outside)
            return;
        const QString collapsed = collapsedSpaces(text);
        if (collapsed.trimmed().isEmpty()) {
            m_pendingSpace = m_pendingSpace || !collapsed.isEmpty();
            return;
        }
        // No space opens a line after a break.
        if ((m_pendingSpace || collapsed.startsWith(QLatin1Char(' '))) && m_hasText &&
            !m_content.endsWith(QLatin1String("<br>")))
            m_content += QLatin1Char(' ');
        m_content += BlockText(collapsed.trimmed());
        m_hasText = true;
        m_pendingSpace = collapsed.endsWith(QLatin1Char(' '));
    }

    void OpenInline(const QString& tag) {
        if (m_place == Place::Outside)
            return;
        // A space before an opening tag stays outside it.
        if (m_pendingSpace && m_hasText)
            m_content += QLatin1Char(' ');
        m_pendingSpace = false;
        m_content += QLatin1Char('<') + tag + QLatin1Char('>');
        m_open.append(tag);
    }

    void CloseInline(const QString& tag) {
        const qsizetype at = m_open.lastIndexOf(tag);
        if (at < 0)
            return;
        // Tags opened inside it and left open end with it, so the content stays well-formed.
        while (m_open.size() > at)
            m_content += QStringLiteral("</") + m_open.takeLast() + QLatin1Char('>');
    }

    void LineBreak() {
        if (m_place == Place::Outside)
            return;
        m_content += QStringLiteral("<br>");
        m_pendingSpace = false;
    }

    // The content read so far, its tags closed; empty when it holds no text.
    QString TakeContent() {
        while (!m_open.isEmpty())
            m_content += QStringLiteral("</") + m_open.takeLast() + QLatin1Char('>');
        const QString content = m_hasText ? m_content : QString();
        m_place = Place::Outside;
        m_content.clear();
        m_hasText = false;
        return content;
    }

    void EndItem() {
        if (m_place != Place::ListItem)
            return;
        const QString item = TakeContent();
        if (!item.isEmpty())
            m_listItems << item;
    }

    void EndBlock() {
        if (m_place == Place::Heading || m_place == Place::Paragraph) {
            const CopyBlock::Kind kind =
                m_place == Place::Heading ? CopyBlock::Kind::Heading : CopyBlock::Kind::Paragraph;
            const QString content = TakeContent();
            if (!content.isEmpty())
                m_blocks.append({kind, content, {}});
        }
        if (m_inList) {
            EndItem();
            if (!m_listItems.isEmpty())
                m_blocks.append({CopyBlock::Kind::List, {}, m_listItems});
            m_listItems.clear();
            m_listDepth = 0;
            m_inList = false;
        }
        m_place = Place::Outside;
    }

    QList<CopyBlock> m_blocks;
    bool m_inList = false;
    int m_listDepth = 0;
    QStringList m_listItems;
    Place m_place = Place::Outside;
    QString m_content;
    QStringList m_open;
    bool m_hasText = false;
    bool m_pendingSpace = false;
};

} // namespace

QString SalesCopyStart::NameHeading(const QString& productName) {
    return SerializeBlocks(
        {{CopyBlock::Kind::Heading, BlockText(collapsedSpaces(productName).trimmed()), {}}});
}

QString SalesCopyStart::FromPreviewHtml(const QString& html, const QString& productName) {
    const QList<CopyBlock> blocks = CopyReader().Read(html);
    return blocks.isEmpty() ? NameHeading(productName) : SerializeBlocks(blocks);
}

QString SalesCopyStart::ForProduct(const QString& productName, const QString& previewPage) {
    if (previewPage.isEmpty())
        return NameHeading(productName);
    // Only a plain file of a page's size is read: a device or a stray huge file would stall the build.
    constexpr qint64 largestPage = 1024 * 1024;
    QFile page(previewPage);
    if (!QFileInfo(previewPage).isFile() || page.size() > largestPage || !page.open(QIODevice::ReadOnly))
        return NameHeading(productName);
    return FromPreviewHtml(QString::fromUtf8(page.readAll()), productName);
}
