#include "markdown_view/theme/Theme.h"

#include "markdown_view/theme/ListMarkers.h"

namespace tolvaran::markdown {

namespace {

using Weight = FontProperties::Weight;

View unchangedCode(const CodeBlockConfiguration &configuration)
{
    return configuration.label;
}

Theme makeBasic()
{
    using namespace views;
    Theme theme;
    theme.code = {FontFamilyVariant{FontProperties::FamilyVariant::monospaced},
                  FontSize(RelativeSize::em(0.94))};
    static constexpr qreal headingSizes[] = {2, 1.5, 1.17, 1, 0.83, 0.67};
    for (int level = 1; level <= 6; ++level) {
        const TextStyle style{FontWeight{Weight::semibold},
                              FontSize(RelativeSize::em(headingSizes[level - 1]))};
        theme.headings[level - 1] = [style](const BlockConfiguration &configuration) {
            return textStyle(margin(configuration.label, RelativeSize::rem(1.5),
                                    RelativeSize::rem(1)),
                             style);
        };
    }
    theme.paragraph = [](const BlockConfiguration &configuration) {
        return margin(lineSpacing(configuration.label, RelativeSize::em(0.15)),
                      RelativeSize::zero(), RelativeSize::em(1));
    };
    theme.blockquote = [](const BlockConfiguration &configuration) {
        return padding(padding(textStyle(configuration.label,
                                         FontStyle{FontProperties::Style::italic}),
                               int(Edge::leading), RelativeSize::em(2)),
                       int(Edge::trailing), RelativeSize::em(1));
    };
    theme.codeBlock = [](const CodeBlockConfiguration &configuration) {
        const View content = textStyle(
            padding(lineSpacing(configuration.label, RelativeSize::em(0.15)),
                    int(Edge::leading), RelativeSize::rem(1)),
            {FontFamilyVariant{FontProperties::FamilyVariant::monospaced},
             FontSize(RelativeSize::em(0.94))});
        return margin(horizontalScroll(content), RelativeSize::zero(), RelativeSize::em(1));
    };
    theme.table = [](const BlockConfiguration &configuration) {
        return margin(configuration.label, RelativeSize::zero(), RelativeSize::em(1));
    };
    theme.tableCell = [](const TableCellConfiguration &configuration) {
        TextStyle weight;
        if (configuration.row == 0)
            weight = FontWeight{Weight::semibold};
        return padding(padding(lineSpacing(textStyle(configuration.label, weight),
                                           RelativeSize::em(0.15)),
                               horizontalEdges, RelativeSize::em(0.72)),
                       verticalEdges, RelativeSize::em(0.35));
    };
    theme.thematicBreak = [](const EmptyConfiguration &) {
        return margin(divider(), RelativeSize::em(2), RelativeSize::em(2));
    };
    return theme;
}

} // namespace

Theme::Theme()
    : code(FontFamilyVariant{FontProperties::FamilyVariant::monospaced})
    , emphasis(FontStyle{FontProperties::Style::italic})
    , strong(FontWeight{Weight::semibold})
    , strikethrough(StrikethroughStyle{LineStyle::single()})
    , paragraph(unchangedLabel)
    , blockquote(unchangedLabel)
    , codeBlock(unchangedCode)
    , image(unchangedLabel)
    , list(unchangedLabel)
    , listItem(unchangedLabel)
    , taskListMarker(markers::checkmarkSquare())
    , bulletedListMarker(markers::discCircleSquare())
    , numberedListMarker(markers::decimal())
    , table(unchangedLabel)
    , tableCell([](const TableCellConfiguration &configuration) { return configuration.label; })
    , thematicBreak([](const EmptyConfiguration &) { return views::divider(); })
{
    for (int level = 1; level <= 6; ++level)
        headings.append(unchangedLabel);
}

const BlockStyle<BlockConfiguration> &Theme::heading(int level) const
{
    static const BlockStyle<BlockConfiguration> bare = unchangedLabel;
    if (headings.isEmpty())
        return bare;
    return headings[std::clamp<qsizetype>(level, 1, headings.size()) - 1];
}

std::optional<Color> Theme::textBackgroundColor() const
{
    return text.attributes().backgroundColor;
}

const Theme &Theme::basic()
{
    static const Theme theme = makeBasic();
    return theme;
}

} // namespace tolvaran::markdown
