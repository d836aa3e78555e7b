#include "markdown/MarkdownParser.h"

#include "markdown/LibraryTreeWriter.h"
#include "markdown/ParsedSource.h"

#include <QByteArray>
#include <QScopeGuard>
#include <QLoggingCategory>

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace tolvaran::markdown {

namespace {

Q_LOGGING_CATEGORY(lcMarkdown, "com.ostvik.tolvaran.markdown")

// The CommonMark defaults: no smart punctuation, no footnotes, no source positions, no hard
// line breaks. For rendering this is also the safe mode: raw HTML is replaced by a comment
// and links to "javascript:", "vbscript:", "file:" and most "data:" URLs lose their target.
constexpr int parserOptions = CMARK_OPT_DEFAULT;
constexpr int renderOptions = CMARK_OPT_DEFAULT;
constexpr int noLineWrapping = 0;

constexpr std::array extensionNames{"autolink", "strikethrough", "tagfilter", "tasklist",
                                    "table"};

std::mutex &libraryMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct ParserDeleter
{
    void operator()(cmark_parser *parser) const { cmark_parser_free(parser); }
};
struct IteratorDeleter
{
    void operator()(cmark_iter *iterator) const { cmark_iter_free(iterator); }
};
using ParserPointer = std::unique_ptr<cmark_parser, ParserDeleter>;
using IteratorPointer = std::unique_ptr<cmark_iter, IteratorDeleter>;

// The kinds of node by the library's type strings. Extension nodes are told apart by their
// strings only; the type numbers of extension nodes are assigned at registration.
enum class NodeType {
    document,
    blockquote,
    list,
    item,
    codeBlock,
    htmlBlock,
    customBlock,
    paragraph,
    heading,
    thematicBreak,
    text,
    softBreak,
    lineBreak,
    code,
    html,
    customInline,
    emphasis,
    strong,
    link,
    image,
    inlineAttributes,
    none,
    unknown,
    strikethrough,
    table,
    tableHead,
    tableRow,
    tableCell,
    taskListItem,
};

struct NodeTypeName
{
    std::string_view name;
    NodeType type;
};

constexpr std::array nodeTypeNames{
    NodeTypeName{"document", NodeType::document},
    NodeTypeName{"block_quote", NodeType::blockquote},
    NodeTypeName{"list", NodeType::list},
    NodeTypeName{"item", NodeType::item},
    NodeTypeName{"code_block", NodeType::codeBlock},
    NodeTypeName{"html_block", NodeType::htmlBlock},
    NodeTypeName{"custom_block", NodeType::customBlock},
    NodeTypeName{"paragraph", NodeType::paragraph},
    NodeTypeName{"heading", NodeType::heading},
    NodeTypeName{"thematic_break", NodeType::thematicBreak},
    NodeTypeName{"text", NodeType::text},
    NodeTypeName{"softbreak", NodeType::softBreak},
    NodeTypeName{"linebreak", NodeType::lineBreak},
    NodeTypeName{"code", NodeType::code},
    NodeTypeName{"html_inline", NodeType::html},
    NodeTypeName{"custom_inline", NodeType::customInline},
    NodeTypeName{"emph", NodeType::emphasis},
    NodeTypeName{"strong", NodeType::strong},
    NodeTypeName{"link", NodeType::link},
    NodeTypeName{"image", NodeType::image},
    NodeTypeName{"attribute", NodeType::inlineAttributes},
    NodeTypeName{"NONE", NodeType::none},
    NodeTypeName{"<unknown>", NodeType::unknown},
    NodeTypeName{"strikethrough", NodeType::strikethrough},
    NodeTypeName{"table", NodeType::table},
    NodeTypeName{"table_header", NodeType::tableHead},
    NodeTypeName{"table_row", NodeType::tableRow},
    NodeTypeName{"table_cell", NodeType::tableCell},
    NodeTypeName{"tasklist", NodeType::taskListItem},
};

// Absent for a type string outside the table above; the caller drops such a node.
std::optional<NodeType> nodeType(cmark_node *node)
{
    const char *typeString = cmark_node_get_type_string(node);
    const std::string_view name = typeString ? typeString : "";
    for (const NodeTypeName &entry : nodeTypeNames) {
        if (entry.name == name)
            return entry.type;
    }
    qCWarning(lcMarkdown).noquote()
        << QStringLiteral("Unknown node type '%1' found.").arg(QString::fromUtf8(name));
    return std::nullopt;
}

// The stand-in for the pipes of over-wide table rows while the library parses (see
// maximumTableRowCells), and its UTF-8 form. It is a private-use character that the text
// does not hold; the readers below turn it back into "|" in every string they copy out.
// Absent (the usual case) when no line of the text is that wide.
thread_local std::optional<QChar> pipeStandIn;

// The text the library parses, while it parses: the library's tree keeps less of it than the
// model needs (see isTicked).
thread_local const Internal::ParsedSource *parsedSource = nullptr;

QString fromLibrary(const char *text)
{
    QString result = QString::fromUtf8(text);
    if (pipeStandIn)
        result.replace(*pipeStandIn, QLatin1Char('|'));
    return result;
}

QString literal(cmark_node *node)
{
    return fromLibrary(cmark_node_get_literal(node));
}

// A private-use character that `text` does not hold.
QChar unusedPrivateUseCharacter(const QString &text)
{
    for (char16_t candidate = 0xE000; candidate < 0xF8FF; ++candidate) {
        if (!text.contains(QChar(candidate)))
            return QChar(candidate);
    }
    return QChar(char16_t(0xF8FF));
}

struct BoundedText
{
    QString text;
    QChar standIn;
};

// `markdown` with the unescaped pipes of every line that holds more than
// maximumTableRowCells of them replaced by a stand-in; absent when no line does. A pipe is
// escaped when an odd number of backslashes precedes it.
std::optional<BoundedText> withoutWideTableRows(const QString &markdown)
{
    std::optional<BoundedText> result;
    qsizetype lineStart = 0;
    while (lineStart < markdown.size()) {
        qsizetype lineEnd = markdown.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = markdown.size();
        QList<qsizetype> pipes;
        int backslashes = 0;
        for (qsizetype index = lineStart; index < lineEnd; ++index) {
            const QChar character = markdown[index];
            if (character == QLatin1Char('|') && backslashes % 2 == 0)
                pipes.append(index);
            backslashes = character == QLatin1Char('\\') ? backslashes + 1 : 0;
        }
        if (pipes.size() > maximumTableRowCells) {
            if (!result)
                result = BoundedText{markdown, unusedPrivateUseCharacter(markdown)};
            for (qsizetype index : pipes)
                result->text[index] = result->standIn;
        }
        lineStart = lineEnd + 1;
    }
    return result;
}

// ---- Reading the library's tree into the node model ----------------------------------------

// The text of everything below `parent`, for content deeper than the nesting limit. It walks
// with the library's own iterator, so it needs no recursion however deep the subtree is:
// literals as they are, a soft break as a space, a line break as a line feed, one line feed
// between blocks.
QString plainTextBelow(cmark_node *parent)
{
    QByteArray text;
    bool pendingBreak = false;
    const auto append = [&](const char *piece, std::size_t length) {
        if (length == 0)
            return;
        if (pendingBreak && !text.isEmpty())
            text.append('\n');
        pendingBreak = false;
        text.append(piece, qsizetype(length));
    };
    IteratorPointer iterator(cmark_iter_new(parent));
    for (cmark_event_type event = cmark_iter_next(iterator.get()); event != CMARK_EVENT_DONE;
         event = cmark_iter_next(iterator.get())) {
        cmark_node *node = cmark_iter_get_node(iterator.get());
        if (node == parent)
            continue;
        if ((cmark_node_get_type(node) & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_BLOCK)
            pendingBreak = true;
        if (event != CMARK_EVENT_ENTER)
            continue;
        switch (cmark_node_get_type(node)) {
        case CMARK_NODE_TEXT:
        case CMARK_NODE_CODE:
        case CMARK_NODE_HTML_INLINE:
        case CMARK_NODE_CODE_BLOCK:
        case CMARK_NODE_HTML_BLOCK: {
            const char *piece = cmark_node_get_literal(node);
            std::size_t length = piece ? std::strlen(piece) : 0;
            if (length > 0 && piece[length - 1] == '\n'
                && (cmark_node_get_type(node) & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_BLOCK)
                --length;
            append(piece, length);
            break;
        }
        case CMARK_NODE_SOFTBREAK:
            append(" ", 1);
            break;
        case CMARK_NODE_LINEBREAK:
            append("\n", 1);
            break;
        default:
            break;
        }
    }
    return fromLibrary(text.constData());
}

QList<InlineNode> readInlines(cmark_node *parent, int depth);
QList<BlockNode> readBlocks(cmark_node *parent, int depth);

std::optional<InlineNode> readInline(cmark_node *node, int depth)
{
    const std::optional<NodeType> type = nodeType(node);
    if (!type)
        return std::nullopt;
    switch (*type) {
    case NodeType::text:
        return InlineNode::Text{literal(node)};
    case NodeType::softBreak:
        return InlineNode::SoftBreak{};
    case NodeType::lineBreak:
        return InlineNode::LineBreak{};
    case NodeType::code:
        return InlineNode::Code{literal(node)};
    case NodeType::html:
        return InlineNode::Html{literal(node)};
    case NodeType::emphasis:
        return InlineNode::Emphasis{readInlines(node, depth + 1)};
    case NodeType::strong:
        return InlineNode::Strong{readInlines(node, depth + 1)};
    case NodeType::strikethrough:
        return InlineNode::Strikethrough{readInlines(node, depth + 1)};
    case NodeType::link:
        return InlineNode::Link{fromLibrary(cmark_node_get_url(node)),
                                readInlines(node, depth + 1)};
    case NodeType::image:
        return InlineNode::Image{fromLibrary(cmark_node_get_url(node)),
                                 readInlines(node, depth + 1)};
    default:
        return std::nullopt;
    }
}

// The inline children of `parent`, which lie at `depth`; below the nesting limit, their text.
QList<InlineNode> readInlines(cmark_node *parent, int depth)
{
    if (depth > maximumNestingDepth) {
        const QString text = plainTextBelow(parent);
        if (text.isEmpty())
            return {};
        return {InlineNode::Text{text}};
    }
    QList<InlineNode> nodes;
    for (cmark_node *child = cmark_node_first_child(parent); child;
         child = cmark_node_next(child)) {
        if (std::optional<InlineNode> node = readInline(child, depth))
            nodes.append(std::move(*node));
    }
    return nodes;
}

bool isListItem(cmark_node *node)
{
    const std::optional<NodeType> type = nodeType(node);
    if (type == NodeType::item || type == NodeType::taskListItem)
        return true;
    qCWarning(lcMarkdown).noquote()
        << QStringLiteral("Expected a list item but got a '%1' instead.")
               .arg(QString::fromUtf8(cmark_node_get_type_string(node)));
    return false;
}

// Whether a task item is ticked. The library decides that an item is a task item by the box
// after its marker, but whether it is done by any "[x]" on the item's line ("- [ ] see [x]"
// would read as done); the box itself is read from the source instead.
bool isTicked(cmark_node *item)
{
    const bool libraryAnswer = cmark_gfm_extensions_get_tasklist_item_checked(item);
    if (!parsedSource || nodeType(item) != NodeType::taskListItem)
        return libraryAnswer;
    return Internal::taskBoxTicked(parsedSource->line(cmark_node_get_start_line(item)),
                                   cmark_node_get_start_column(item))
        .value_or(libraryAnswer);
}

std::optional<BlockNode> readList(cmark_node *list, int depth)
{
    bool isTaskList = false;
    for (cmark_node *child = cmark_node_first_child(list); child && !isTaskList;
         child = cmark_node_next(child))
        isTaskList = nodeType(child) == NodeType::taskListItem;
    const bool isTight = cmark_node_get_list_tight(list) != 0;

    if (isTaskList) {
        // Plain items mixed into a task list become unchecked task items.
        BlockNode::TaskList taskList{isTight, {}};
        for (cmark_node *item = cmark_node_first_child(list); item; item = cmark_node_next(item)) {
            if (isListItem(item)) {
                taskList.items.append(
                    RawTaskListItem{isTicked(item), readBlocks(item, depth + 2)});
            }
        }
        return taskList;
    }

    QList<RawListItem> items;
    for (cmark_node *item = cmark_node_first_child(list); item; item = cmark_node_next(item)) {
        if (isListItem(item))
            items.append(RawListItem{readBlocks(item, depth + 2)});
    }
    switch (cmark_node_get_list_type(list)) {
    case CMARK_ORDERED_LIST:
        return BlockNode::NumberedList{isTight, cmark_node_get_list_start(list), items};
    case CMARK_BULLET_LIST:
        return BlockNode::BulletedList{isTight, items};
    default:
        qCWarning(lcMarkdown) << "cmark reported a list node without a list type.";
        return std::nullopt;
    }
}

QList<RawTableColumnAlignment> readTableAlignments(cmark_node *table)
{
    const uint16_t columns = cmark_gfm_extensions_get_table_columns(table);
    const uint8_t *alignments = cmark_gfm_extensions_get_table_alignments(table);
    QList<RawTableColumnAlignment> result;
    if (!alignments)
        return result;
    result.reserve(columns);
    for (uint16_t column = 0; column < columns; ++column) {
        result.append(rawTableColumnAlignmentFromRawValue(QChar(char16_t(alignments[column])))
                          .value_or(RawTableColumnAlignment::none));
    }
    return result;
}

std::optional<RawTableRow> readTableRow(cmark_node *row, int depth)
{
    const std::optional<NodeType> rowType = nodeType(row);
    if (rowType != NodeType::tableRow && rowType != NodeType::tableHead) {
        qCWarning(lcMarkdown).noquote()
            << QStringLiteral("Expected a table row but got a '%1' instead.")
                   .arg(QString::fromUtf8(cmark_node_get_type_string(row)));
        return std::nullopt;
    }
    RawTableRow result;
    for (cmark_node *cell = cmark_node_first_child(row); cell; cell = cmark_node_next(cell)) {
        if (nodeType(cell) != NodeType::tableCell) {
            qCWarning(lcMarkdown).noquote()
                << QStringLiteral("Expected a table cell but got a '%1' instead.")
                       .arg(QString::fromUtf8(cmark_node_get_type_string(cell)));
            continue;
        }
        result.cells.append(RawTableCell{readInlines(cell, depth + 2)});
    }
    return result;
}

std::optional<BlockNode> readBlock(cmark_node *node, int depth)
{
    const std::optional<NodeType> type = nodeType(node);
    if (!type)
        return std::nullopt;
    switch (*type) {
    case NodeType::blockquote:
        return BlockNode::Blockquote{readBlocks(node, depth + 1)};
    case NodeType::list:
        return readList(node, depth);
    case NodeType::codeBlock: {
        // The library reports "" for a fence without an info string and for an indented
        // block alike: neither has fence info.
        const char *info = cmark_node_get_fence_info(node);
        std::optional<QString> fenceInfo;
        if (info && *info)
            fenceInfo = fromLibrary(info);
        return BlockNode::CodeBlock{fenceInfo, literal(node)};
    }
    case NodeType::htmlBlock:
        return BlockNode::HtmlBlock{literal(node)};
    case NodeType::paragraph:
        return BlockNode::Paragraph{readInlines(node, depth + 1)};
    case NodeType::heading:
        return BlockNode::Heading{cmark_node_get_heading_level(node),
                                  readInlines(node, depth + 1)};
    case NodeType::thematicBreak:
        return BlockNode::ThematicBreak{};
    case NodeType::table: {
        BlockNode::Table table{readTableAlignments(node), {}};
        for (cmark_node *row = cmark_node_first_child(node); row; row = cmark_node_next(row)) {
            if (std::optional<RawTableRow> converted = readTableRow(row, depth + 1))
                table.rows.append(std::move(*converted));
        }
        return table;
    }
    default:
        return std::nullopt;
    }
}

// The block children of `parent`, which lie at `depth`; below the nesting limit, one
// paragraph of their text.
QList<BlockNode> readBlocks(cmark_node *parent, int depth)
{
    if (depth > maximumNestingDepth) {
        const QString text = plainTextBelow(parent);
        if (text.isEmpty())
            return {};
        return {BlockNode::Paragraph{{InlineNode::Text{text}}}};
    }
    QList<BlockNode> blocks;
    for (cmark_node *child = cmark_node_first_child(parent); child;
         child = cmark_node_next(child)) {
        if (std::optional<BlockNode> block = readBlock(child, depth))
            blocks.append(std::move(*block));
    }
    return blocks;
}

enum class OutputFormat { commonMark, plainText, html };

QString render(const QList<BlockNode> &blocks, OutputFormat format)
{
    if (blocks.isEmpty())
        return QString();
    const std::lock_guard lock(libraryMutex());
    cmark_gfm_core_extensions_ensure_registered();
    const Internal::LibraryNodePointer document =
        Internal::writeLibraryTree(blocks, format == OutputFormat::commonMark);
    if (!document)
        return QString();

    cmark_mem *memory = cmark_get_default_mem_allocator();
    char *output = nullptr;
    switch (format) {
    case OutputFormat::commonMark:
        output = cmark_render_commonmark(document.get(), renderOptions, noLineWrapping);
        break;
    case OutputFormat::plainText:
        output = cmark_render_plaintext(document.get(), renderOptions, noLineWrapping);
        break;
    case OutputFormat::html: {
        // "tagfilter" acts on raw HTML as it is written out; the safe mode already writes
        // none, so it only stands guard should the options ever change.
        cmark_llist *extensions = nullptr;
        for (const char *name : extensionNames) {
            if (cmark_syntax_extension *extension = cmark_find_syntax_extension(name))
                extensions = cmark_llist_append(memory, extensions, extension);
        }
        output = cmark_render_html(document.get(), renderOptions, extensions);
        cmark_llist_free(memory, extensions);
        break;
    }
    }
    if (!output)
        return QString();
    QString result = QString::fromUtf8(output);
    memory->free(output);
    if (format != OutputFormat::html && result.endsWith(QLatin1Char('\n')))
        result.chop(1);
    return result;
}

} // namespace

QList<BlockNode> parseMarkdown(const QString &markdown)
{
    const std::optional<BoundedText> bounded = withoutWideTableRows(markdown);
    const QByteArray utf8 = (bounded ? bounded->text : markdown).toUtf8();
    pipeStandIn.reset();
    if (bounded)
        pipeStandIn = bounded->standIn;
    const Internal::ParsedSource source(utf8);
    parsedSource = &source;
    const auto clearStandIn = qScopeGuard([] {
        pipeStandIn.reset();
        parsedSource = nullptr;
    });
    const std::lock_guard lock(libraryMutex());
    cmark_gfm_core_extensions_ensure_registered();
    // The library's own arena holds its tree and the buffers it makes while parsing, and
    // gives them back at once when the model is read. From the heap they would be freed one
    // by one between the model's strings and lists: a megabyte's parse left the thread's heap
    // with tens of megabytes of holes that stay resident.
    const auto resetArena = qScopeGuard([] { cmark_arena_reset(); });
    const ParserPointer parser(
        cmark_parser_new_with_mem(parserOptions, cmark_get_arena_mem_allocator()));
    if (!parser)
        return {};
    for (const char *name : extensionNames) {
        if (cmark_syntax_extension *extension = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(parser.get(), extension);
    }
    cmark_parser_feed(parser.get(), utf8.constData(), std::size_t(utf8.size()));
    const Internal::LibraryNodePointer document(cmark_parser_finish(parser.get()));
    if (!document)
        return {};
    return readBlocks(document.get(), 1);
}

QString renderMarkdown(const QList<BlockNode> &blocks)
{
    return render(blocks, OutputFormat::commonMark);
}

QString renderPlainText(const QList<BlockNode> &blocks)
{
    return render(blocks, OutputFormat::plainText);
}

QString renderHTML(const QList<BlockNode> &blocks)
{
    return render(blocks, OutputFormat::html);
}

} // namespace tolvaran::markdown
