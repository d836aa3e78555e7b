#include "helpers/ReferenceMarkdownRender.h"

#include <QElapsedTimer>

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <cstring>

namespace tolvaran::fixtures::bench {

ReferenceMarkdownRender referenceParseAndRender(const QByteArray &utf8)
{
    QElapsedTimer timer;
    timer.start();
    cmark_parser *parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    for (const char *name : {"autolink", "strikethrough", "tagfilter", "tasklist", "table"})
        cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension(name));
    cmark_parser_feed(parser, utf8.constData(), std::size_t(utf8.size()));
    cmark_node *document = cmark_parser_finish(parser);
    char *html = cmark_render_html(document, CMARK_OPT_DEFAULT,
                                   cmark_parser_get_syntax_extensions(parser));
    ReferenceMarkdownRender result;
    result.milliseconds = double(timer.nsecsElapsed()) / 1e6;
    result.htmlLength = qsizetype(std::strlen(html));
    cmark_get_default_mem_allocator()->free(html);
    cmark_node_free(document);
    cmark_parser_free(parser);
    return result;
}

} // namespace tolvaran::fixtures::bench
