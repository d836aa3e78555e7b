#include "markdown_view/theme/ListMarkers.h"
#include "markdown_view/theme/Theme.h"

namespace tolvaran::markdown {

namespace {

using Weight = FontProperties::Weight;

struct Palette
{
    Color text = Color::lightDark(Color::rgba(0x1D1D1FFF), Color::rgba(0xF5F5F7FF));
    Color link = Color::lightDark(Color::rgba(0x0066CCFF), Color::rgba(0x2997FFFF));
    Color asideNoteBackground =
        Color::lightDark(Color::rgba(0xF5F5F7FF), Color::rgba(0x323232FF));
    Color asideNoteBorder = Color::lightDark(Color::rgba(0x696969FF), Color::rgba(0x9A9A9EFF));
    Color codeBackground = Color::lightDark(Color::rgba(0xF5F5F7FF), Color::rgba(0x333336FF));
    Color grid = Color::lightDark(Color::rgba(0xD2D2D7FF), Color::rgba(0x424245FF));
};

constexpr qreal cornerRadius = 15;
constexpr qreal codeVerticalPadding = 8;
constexpr qreal codeLeadingPadding = 14;
constexpr qreal bulletSize = 0.4; // of the text size

struct HeadingMetrics
{
    qreal size;
    std::optional<qreal> lineSpacing;
    qreal top;
};

Theme makeDocumentation()
{
    using namespace views;
    const Palette palette;
    Theme theme;
    theme.text = ForegroundColor{palette.text};
    theme.link = ForegroundColor{palette.link};

    static const HeadingMetrics headings[] = {
        {2, std::nullopt, 0.8},        {1.88235, 0.0625, 1.6},  {1.64706, 0.07143, 1.6},
        {1.41176, 0.083335, 1.6},      {1.29412, 0.09091, 1.6}, {1, 0.235295, 1.6},
    };
    for (int level = 1; level <= 6; ++level) {
        const HeadingMetrics metrics = headings[level - 1];
        const TextStyle style{FontWeight{Weight::semibold},
                              FontSize(RelativeSize::em(metrics.size))};
        theme.headings[level - 1] = [style, metrics](const BlockConfiguration &configuration) {
            View label = configuration.label;
            if (metrics.lineSpacing)
                label = lineSpacing(label, RelativeSize::em(*metrics.lineSpacing));
            return textStyle(
                margin(label, RelativeSize::em(metrics.top), RelativeSize::zero()), style);
        };
    }
    theme.paragraph = [](const BlockConfiguration &configuration) {
        return margin(lineSpacing(configuration.label, RelativeSize::em(0.235295)),
                      RelativeSize::em(0.8), RelativeSize::zero());
    };
    theme.blockquote = [palette](const BlockConfiguration &configuration) {
        return margin(
            roundedBox(fillWidth(padding(configuration.label, allEdges,
                                         RelativeSize::rem(0.94118)),
                                 Qt::AlignLeft),
                       palette.asideNoteBackground, palette.asideNoteBorder, cornerRadius),
            RelativeSize::em(1.6), RelativeSize::zero());
    };
    theme.codeBlock = [palette](const CodeBlockConfiguration &configuration) {
        const View content = paddingPoints(
            paddingPoints(
                textStyle(lineSpacing(configuration.label, RelativeSize::em(0.333335)),
                          {FontFamilyVariant{FontProperties::FamilyVariant::monospaced},
                           FontSize(RelativeSize::rem(0.88235))}),
                verticalEdges, codeVerticalPadding),
            int(Edge::leading), codeLeadingPadding);
        return margin(background(horizontalScroll(content), palette.codeBackground, cornerRadius),
                      RelativeSize::em(0.8), RelativeSize::zero());
    };
    theme.image = [](const BlockConfiguration &configuration) {
        return margin(fillWidth(configuration.label, Qt::AlignHCenter), RelativeSize::em(1.6),
                      RelativeSize::em(1.6));
    };
    theme.listItem = [](const BlockConfiguration &configuration) {
        return margin(configuration.label, RelativeSize::em(0.8), std::nullopt);
    };
    theme.taskListMarker = [](const TaskListMarkerConfiguration &configuration) {
        // The same filled circle whether the item is done or not.
        return minimumWidth(symbol(SymbolItem::Shape::filledCircle, bulletSize, std::nullopt,
                                   configuration.isCompleted ? QStringLiteral("Completed")
                                                             : QStringLiteral("Not completed")),
                            RelativeSize::em(1.5), Qt::AlignRight);
    };
    theme.table = [palette](const BlockConfiguration &configuration) {
        return margin(tableBorderStyle(configuration.label,
                                       TableBorderStyle(TableBorderSelector::horizontalBorders(),
                                                        palette.grid, qreal(1))),
                      RelativeSize::em(1.6), RelativeSize::zero());
    };
    theme.tableCell = [](const TableCellConfiguration &configuration) {
        TextStyle weight;
        if (configuration.row == 0)
            weight = FontWeight{Weight::semibold};
        return padding(lineSpacing(textStyle(configuration.label, weight),
                                   RelativeSize::em(0.235295)),
                       allEdges, RelativeSize::rem(0.58824));
    };
    theme.thematicBreak = [palette](const EmptyConfiguration &) {
        return margin(divider(palette.grid), RelativeSize::em(2.35), RelativeSize::em(2.35));
    };
    return theme;
}

} // namespace

const Theme &Theme::documentation()
{
    static const Theme theme = makeDocumentation();
    return theme;
}

} // namespace tolvaran::markdown
