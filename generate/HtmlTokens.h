#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>

// One piece of an HTML page as a forgiving reader sees it: a run of text, or a tag.
struct HtmlToken {
    enum class Kind { Text, StartTag, EndTag };
    Kind kind = Kind::Text;
    // The tag's name in lower case; empty for text.
    QString name;
    // The text with its character references decoded; empty for a tag.
    QString text;
    // A start tag's attributes: names in lower case, values decoded.
    QList<QPair<QString, QString>> attributes;

    QString Attribute(const QString& attributeName) const;
};

// Splits `html` into text and tags without asking it to be well-formed: unclosed elements,
// attributes without quotes and stray "<" are taken as a browser takes them. Comments, doctypes,
// processing instructions and the contents of <script> and <style> are left out. A tag cut off
// by the end of the text is dropped.
QList<HtmlToken> TokenizeHtml(QStringView html);

// Decodes character references: numeric ones, and the named ones a hand-written page uses. An
// unknown name stays as it was written.
QString DecodeHtmlEntities(QStringView text);
