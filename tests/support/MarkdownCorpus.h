#pragma once

#include <QList>
#include <QString>

namespace tolvaran::fixtures::markdown {

// Markdown texts for the Markdown library's tests and benchmark. Together the entries use
// every block and inline kind, GitHub's extensions (tables, task lists, strikethrough,
// autolinks, the HTML tag filter) and the usual corner cases of each.
struct CorpusEntry
{
    QString name; // a test-name-safe identifier
    QString text;
};

QList<CorpusEntry> corpus();

// The corpus entries, each under a numbered heading, repeated until the text holds at least
// `minimumLength` characters.
QString generatedDocument(qsizetype minimumLength);

// A short document with one of every block kind and every inline kind, for looking at.
QString showcaseDocument();

// Hostile inputs of about `length` characters, each nesting as deep as its length allows.
QString nestedQuotes(qsizetype length);    // ">>>>…> text"
QString nestedLists(qsizetype length);     // "- - - …- text"
QString nestedBrackets(qsizetype length);  // "[[[…[text](u)…](u)](u)"
QString nestedEmphasis(qsizetype length);  // "*_*_…text…_*_*"
QString nestedImages(qsizetype length);    // "![![…![text](u)…](u)](u)"

} // namespace tolvaran::fixtures::markdown
