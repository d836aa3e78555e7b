#include "markdown_view/items/InlineText.h"

#include "markdown/nodes/HTMLTag.h"
#include "markdown_view/items/ImageView.h"
#include "markdown_view/InlineImageProvider.h"
#include "markdown_view/theme/Theme.h"

#include <QSet>

#include <algorithm>

#include <QRegularExpression>

namespace tolvaran::markdown {

namespace {

bool isLineBreakTag(const QString &html)
{
    const std::optional<HTMLTag> tag = HTMLTag::fromFragment(html);
    return tag && tag->name == QLatin1String("br");
}

QString withoutLeadingWhitespace(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    return text.mid(start);
}

// Walks one top-level node and everything below it, appending runs.
class AttributedRenderer final
{
public:
    AttributedRenderer(const StyleContext &context, const InlineTextStyles &styles,
                       AttributedText &result)
        : m_context(context)
        , m_styles(styles)
        , m_result(result)
        , m_attributes(context.attributes())
        , m_format(characterFormat(m_attributes, context.colorScheme))
    {
    }

    void render(const InlineNode &node)
    {
        if (const auto *text = node.as<InlineNode::Text>())
            renderText(text->text);
        else if (const auto *code = node.as<InlineNode::Code>())
            renderCode(code->text);
        else if (const auto *html = node.as<InlineNode::Html>()) {
            if (isLineBreakTag(html->text)) {
                appendText(QStringLiteral("\n"));
                m_skipNextWhitespace = true;
            } else {
                renderText(html->text);
            }
        } else if (const auto *emphasis = node.as<InlineNode::Emphasis>())
            renderStyled(m_styles.emphasis, emphasis->children, std::nullopt);
        else if (const auto *strong = node.as<InlineNode::Strong>())
            renderStyled(m_styles.strong, strong->children, std::nullopt);
        else if (const auto *struck = node.as<InlineNode::Strikethrough>())
            renderStyled(m_styles.strikethrough, struck->children, std::nullopt);
        else if (const auto *link = node.as<InlineNode::Link>())
            renderStyled(m_styles.link, link->children, link->destination);
        else if (node.as<InlineNode::SoftBreak>()) {
            if (m_context.softBreakMode == SoftBreakMode::lineBreak) {
                appendText(QStringLiteral("\n"));
            } else if (m_skipNextWhitespace) {
                m_skipNextWhitespace = false;
            } else {
                appendText(QStringLiteral(" "));
            }
        } else if (node.as<InlineNode::LineBreak>())
            appendText(QStringLiteral("\n"));
        // An image shows nothing here, not even its description.
    }

private:
    void appendText(const QString &text) { m_result.append(text, m_format); }

    void renderText(const QString &text)
    {
        if (m_skipNextWhitespace) {
            m_skipNextWhitespace = false;
            appendText(withoutLeadingWhitespace(text));
            return;
        }
        appendText(text);
    }

    void renderCode(const QString &text)
    {
        TextAttributes attributes = m_attributes;
        m_styles.code.collectAttributes(attributes);
        QTextCharFormat format = characterFormat(attributes, m_context.colorScheme);
        copyLink(m_format, attributes, format);
        m_result.append(text, format);
    }

    // A link's target, and its colour where the styles give the text none.
    void copyLink(const QTextCharFormat &from, const TextAttributes &attributes,
                  QTextCharFormat &to) const
    {
        if (!from.isAnchor())
            return;
        to.setAnchor(true);
        to.setAnchorHref(from.anchorHref());
        if (!attributes.foregroundColor)
            to.setForeground(m_context.linkForeground);
    }

    void renderStyled(const TextStyle &style, const QList<InlineNode> &children,
                      const std::optional<QString> &destination)
    {
        const TextAttributes savedAttributes = m_attributes;
        const QTextCharFormat savedFormat = m_format;
        style.collectAttributes(m_attributes);
        QTextCharFormat format = characterFormat(m_attributes, m_context.colorScheme);
        if (destination) {
            // An inner link replaces the outer one, also when it has no valid target.
            if (const std::optional<QUrl> url = resolvedLink(*destination, m_context.baseURL)) {
                QTextCharFormat target;
                target.setAnchor(true);
                target.setAnchorHref(url->toString(QUrl::FullyEncoded));
                copyLink(target, m_attributes, format);
            }
        } else {
            copyLink(savedFormat, m_attributes, format);
        }
        m_format = format;
        for (const InlineNode &child : children)
            render(child);
        m_attributes = savedAttributes;
        m_format = savedFormat;
    }

    const StyleContext &m_context;
    const InlineTextStyles &m_styles;
    AttributedText &m_result;
    TextAttributes m_attributes;
    QTextCharFormat m_format;
    bool m_skipNextWhitespace = false;
};

} // namespace

std::optional<QUrl> resolvedLink(const QString &destination, const std::optional<QUrl> &baseURL)
{
    const QUrl url(destination, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    if (baseURL && url.isRelative())
        return baseURL->resolved(url);
    return url;
}

AttributedText renderInlines(const QList<InlineNode> &inlines, const StyleContext &context,
                            const QHash<QString, InlinePicture *> &pictures, QList<int> *starts)
{
    const Theme &theme = context.currentTheme();
    const InlineTextStyles styles{theme.code, theme.emphasis, theme.strong, theme.strikethrough,
                                  theme.link};
    AttributedText result;
    // The top level: soft breaks and br tags here set a flag of their own, which only later
    // top-level nodes see; each node below renders with a fresh flag.
    bool skipNextWhitespace = false;
    for (const InlineNode &node : inlines) {
        if (starts)
            starts->append(int(result.text.size()));
        AttributedText piece;
        AttributedRenderer renderer(context, styles, piece);
        if (const auto *text = node.as<InlineNode::Text>()) {
            if (skipNextWhitespace) {
                skipNextWhitespace = false;
                renderer.render(InlineNode::Text{withoutLeadingWhitespace(text->text)});
            } else {
                renderer.render(node);
            }
        } else if (const auto *html = node.as<InlineNode::Html>()) {
            renderer.render(node);
            if (isLineBreakTag(html->text))
                skipNextWhitespace = true;
        } else if (node.as<InlineNode::SoftBreak>()) {
            if (context.softBreakMode == SoftBreakMode::lineBreak) {
                skipNextWhitespace = true;
                renderer.render(InlineNode::LineBreak{});
            } else if (skipNextWhitespace) {
                skipNextWhitespace = false;
            } else {
                renderer.render(node);
            }
        } else if (const auto *image = node.as<InlineNode::Image>()) {
            const auto found = pictures.constFind(image->source);
            if (found != pictures.cend())
                piece.appendImage(*found, (*found)->idealSize(),
                                  characterFormat(context.attributes(), context.colorScheme));
        } else {
            renderer.render(node);
        }
        result.append(piece);
    }
    return result;
}

namespace {

// An image of the text to load: its data, the URL it resolves to and where it stands in the
// text shown until it arrives.
struct InlineImageLoad
{
    RawImageData data;
    QUrl url;
    int position = 0;
};

// The images of the text: those standing directly among the nodes or alone in a link, each
// once, with the URL they resolve to (those that resolve to none are left out). `starts` are
// where the text of each node begins.
QList<InlineImageLoad> inlineImageLoads(const QList<InlineNode> &inlines,
                                        const QList<int> &starts,
                                        const std::optional<QUrl> &imageBaseURL)
{
    QSet<RawImageData> seen;
    QList<InlineImageLoad> loads;
    for (qsizetype index = 0; index < inlines.size(); ++index) {
        const std::optional<RawImageData> data = inlines[index].imageData();
        if (!data || seen.contains(*data))
            continue;
        seen.insert(*data);
        if (const std::optional<QUrl> url = resolvedImageSource(data->source, imageBaseURL))
            loads.append({*data, *url, starts.value(index)});
    }
    return loads;
}

std::shared_ptr<const InlineImageProvider> inlineImageProvider(const StyleContext &context)
{
    static const std::shared_ptr<const InlineImageProvider> defaultProvider =
        std::make_shared<const DefaultInlineImageProvider>();
    return context.inlineImageProvider ? context.inlineImageProvider : defaultProvider;
}

// Makes the pictures of the text, which load once the item lays them out. They show together
// once the last has arrived, and not at all when one fails; a picture shown that changes later
// (its pixels loaded again) has the item painted again.
void loadInlineImages(TextItem *item, const QList<InlineNode> &inlines,
                      const StyleContext &context, const QList<InlineImageLoad> &loads)
{
    const std::shared_ptr<const InlineImageProvider> provider = inlineImageProvider(context);
    // What became of the pictures: shown, or not at all.
    auto settled = std::make_shared<bool>(false);
    const auto changed = std::make_shared<std::function<void()>>([item, inlines, context, loads,
                                                                  settled] {
        if (*settled) {
            item->pictureChanged();
        } else {
            const auto &pictures = item->pictures();
            const bool failed = std::any_of(pictures.begin(), pictures.end(),
                                            [](const auto &picture) { return picture->failed(); });
            if (!failed && std::any_of(pictures.begin(), pictures.end(), [](const auto &picture) {
                    return picture->isLoading();
                }))
                return;
            *settled = true;
            if (failed)
                return;
            QHash<QString, InlinePicture *> shown;
            for (qsizetype index = 0; index < loads.size(); ++index)
                shown.insert(loads[index].data.source, pictures[std::size_t(index)].get());
            item->setAttributedText(renderInlines(inlines, context, shown));
        }
        if (context.imageChanged)
            context.imageChanged();
    });
    for (const InlineImageLoad &load : loads) {
        // The picture's changes are dropped with it, and it goes with the item.
        item->addPicture(std::make_unique<InlinePicture>(
            load.url, load.data.alt, load.position, context.imageBaseURL.value_or(QUrl()),
            provider, context.imagePixelBudget, [changed] { (*changed)(); }));
    }
}

} // namespace

View inlineText(QList<InlineNode> inlines)
{
    return [inlines = std::move(inlines)](const StyleContext &context) {
        // Every member given: a font left to its default asks the application's font, under
        // a lock every thread laying out shares.
        const TextItem::Options options{
            .font = characterFormat(context.attributes(), context.colorScheme).font(),
            .lineSpacing = context.lineSpacing,
            .wraps = true,
            .selectable = context.textSelectionEnabled,
            .accessibleName = QString()};
        QList<int> starts;
        auto item =
            std::make_unique<TextItem>(renderInlines(inlines, context, {}, &starts), options);
        const QList<InlineImageLoad> loads =
            inlineImageLoads(inlines, starts, context.imageBaseURL);
        if (!loads.isEmpty()) {
            item->setFirstLayoutWork([item = item.get(), inlines, context, loads] {
                loadInlineImages(item, inlines, context, loads);
            });
        }
        return BlockItemPointer(std::move(item));
    };
}

} // namespace tolvaran::markdown
