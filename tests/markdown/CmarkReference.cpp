#include "markdown/CmarkReference.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <mutex>

namespace tolvaran::markdown::testsupport {

QString referenceHTML(const QString &markdown)
{
    // The library parses with process-wide state; tests that parse on several threads go
    // through the Markdown library, never through here, but the lock keeps this honest.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    cmark_gfm_core_extensions_ensure_registered();
    cmark_parser *parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    for (const char *name : {"autolink", "strikethrough", "tagfilter", "tasklist", "table"})
        cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension(name));
    const QByteArray utf8 = markdown.toUtf8();
    cmark_parser_feed(parser, utf8.constData(), std::size_t(utf8.size()));
    cmark_node *document = cmark_parser_finish(parser);
    char *html = cmark_render_html(document, CMARK_OPT_DEFAULT,
                                   cmark_parser_get_syntax_extensions(parser));
    const QString result = QString::fromUtf8(html);
    cmark_get_default_mem_allocator()->free(html);
    cmark_node_free(document);
    cmark_parser_free(parser);
    return result;
}

} // namespace tolvaran::markdown::testsupport
