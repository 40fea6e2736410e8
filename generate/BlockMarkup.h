#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One top-level block of a post written for WordPress's block editor. Contents are inner HTML
// ready to be stored: escaped text with <strong>, <em> and <br> at most.
struct CopyBlock {
    enum class Kind { Heading, Paragraph, List };
    Kind kind = Kind::Paragraph;
    // A heading's or a paragraph's content.
    QString content;
    // A list's items, one content each.
    QStringList items;
};

// The blocks serialized as the block editor of WordPress 6.1 saves them (a heading at level 2,
// the default, and a list of list-item blocks), separated by a blank line, ending in a line feed.
QString SerializeBlocks(const QList<CopyBlock>& blocks);

// Plain text as WordPress stores it in a block: & < > escaped, nothing else changed.
QString BlockText(const QString& text);
