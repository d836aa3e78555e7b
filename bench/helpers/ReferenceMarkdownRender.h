#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace tolvaran::fixtures::bench {

// What the Markdown library alone does with a document: parse it with the extensions the
// application turns on and render the library's own tree to HTML, with the default options.
// The Markdown benchmarks print their figures beside this one. The library's core extensions
// must be registered first.
struct ReferenceMarkdownRender
{
    qsizetype htmlLength = 0;
    // The parse and the render, without freeing what they made.
    double milliseconds = 0.0;
};

ReferenceMarkdownRender referenceParseAndRender(const QByteArray &utf8);

} // namespace tolvaran::fixtures::bench
