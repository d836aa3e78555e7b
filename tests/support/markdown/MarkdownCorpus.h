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

// Tables wider than a narrow pane. `wideTable`: `columns` columns headed "Column 1" and on,
// `rows` body rows of a few words each (long ones among them: "Experimental", "Downgraded"),
// and a link in the last cell of the first body row. `platformTable`: the platforms a build
// guide lists ("Operating System", "Architectures", "Versions", "Support Type", "Notes"),
// short columns of long words beside one of prose ("e.g. Ubuntu 22.04").
QString wideTable(int columns, int rows);
QString platformTable();

// Hostile inputs of about `length` characters, each nesting as deep as its length allows.
QString nestedQuotes(qsizetype length);    // ">>>>…> text"
QString nestedLists(qsizetype length);     // "- - - …- text"
QString nestedBrackets(qsizetype length);  // "[[[…[text](u)…](u)](u)"
QString nestedEmphasis(qsizetype length);  // "*_*_…text…_*_*"
QString nestedImages(qsizetype length);    // "![![…![text](u)…](u)](u)"

} // namespace tolvaran::fixtures::markdown
