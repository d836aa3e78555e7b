#include "markdown_view/theme/ListMarkers.h"
#include "markdown_view/theme/Theme.h"

namespace tolvaran::markdown {

namespace {

using Weight = FontProperties::Weight;

struct Palette
{
    Color text = Color::lightDark(Color::rgba(0x060606FF), Color::rgba(0xFBFBFCFF));
    Color secondaryText = Color::lightDark(Color::rgba(0x6B6E7BFF), Color::rgba(0x9294A0FF));
    Color tertiaryText = Color::lightDark(Color::rgba(0x6B6E7BFF), Color::rgba(0x6D707DFF));
    Color background = Color::lightDark(Color::rgba(0xFFFFFFFF), Color::rgba(0x18191DFF));
    Color secondaryBackground =
        Color::lightDark(Color::rgba(0xF7F7F9FF), Color::rgba(0x25262AFF));
    Color link = Color::lightDark(Color::rgba(0x2C65CFFF), Color::rgba(0x4C8EF8FF));
    Color border = Color::lightDark(Color::rgba(0xE4E4E8FF), Color::rgba(0x42444EFF));
    Color divider = Color::lightDark(Color::rgba(0xD0D0D3FF), Color::rgba(0x333438FF));
    // The check boxes keep their colours in both appearances.
    Color checkbox = QColor(185, 185, 187);
    Color checkboxBackground = QColor(238, 238, 239);
};

constexpr qreal headingTopMargin = 24;
constexpr qreal blockBottomMargin = 16;
constexpr qreal codeBlockPadding = 16;
constexpr qreal cornerRadius = 6;
constexpr qreal cellVerticalPadding = 6;
constexpr qreal cellHorizontalPadding = 13;
constexpr qreal checkboxSize = 0.8; // of the text size

Theme makeGitHub()
{
    using namespace views;
    const Palette palette;
    Theme theme;
    theme.text = {ForegroundColor{palette.text}, BackgroundColor{palette.background},
                  FontSize(16)};
    theme.code = {FontFamilyVariant{FontProperties::FamilyVariant::monospaced},
                  FontSize(RelativeSize::em(0.85)),
                  BackgroundColor{palette.secondaryBackground}};
    theme.strong = FontWeight{Weight::semibold};
    theme.link = ForegroundColor{palette.link};

    static constexpr qreal headingSizes[] = {2, 1.5, 1.25, 1, 0.875, 0.85};
    for (int level = 1; level <= 6; ++level) {
        TextStyle style{FontWeight{Weight::semibold},
                        FontSize(RelativeSize::em(headingSizes[level - 1]))};
        if (level == 6)
            style = style.appending(ForegroundColor{palette.tertiaryText});
        const bool ruled = level <= 2;
        theme.headings[level - 1] = [style, ruled,
                                     palette](const BlockConfiguration &configuration) {
            View label = configuration.label;
            if (ruled)
                label = padding(label, int(Edge::bottom), RelativeSize::em(0.3));
            const View heading = textStyle(
                marginPoints(lineSpacing(label, RelativeSize::em(0.125)), headingTopMargin,
                             blockBottomMargin),
                style);
            if (!ruled)
                return heading;
            return vstack({heading, divider(palette.divider)});
        };
    }
    theme.paragraph = [](const BlockConfiguration &configuration) {
        return marginPoints(lineSpacing(configuration.label, RelativeSize::em(0.25)), 0,
                            blockBottomMargin);
    };
    theme.blockquote = [palette](const BlockConfiguration &configuration) {
        return leadingBar(padding(textStyle(configuration.label,
                                            ForegroundColor{palette.secondaryText}),
                                  horizontalEdges, RelativeSize::em(1)),
                          palette.border, RelativeSize::em(0.2), cornerRadius);
    };
    theme.codeBlock = [palette](const CodeBlockConfiguration &configuration) {
        // The text draws no background of its own over the grey box.
        const View content = paddingPoints(
            textStyle(lineSpacing(configuration.label, RelativeSize::em(0.225)),
                      {FontFamilyVariant{FontProperties::FamilyVariant::monospaced},
                       FontSize(RelativeSize::em(0.85)), BackgroundColor{std::nullopt}}),
            allEdges, codeBlockPadding);
        return marginPoints(
            background(horizontalScroll(content), palette.secondaryBackground, cornerRadius),
            0, blockBottomMargin);
    };
    theme.listItem = [](const BlockConfiguration &configuration) {
        return margin(configuration.label, RelativeSize::em(0.25), std::nullopt);
    };
    theme.taskListMarker = [palette](const TaskListMarkerConfiguration &configuration) {
        const bool done = configuration.isCompleted;
        return minimumWidth(
            symbol(done ? SymbolItem::Shape::checkedBox : SymbolItem::Shape::emptyBox,
                   checkboxSize, palette.checkbox,
                   done ? QStringLiteral("Completed") : QStringLiteral("Not completed")),
            RelativeSize::em(1.5), Qt::AlignRight);
    };
    theme.table = [palette](const BlockConfiguration &configuration) {
        return marginPoints(
            tableBackgroundStyle(
                tableBorderStyle(configuration.label,
                                 TableBorderStyle(TableBorderSelector::allBorders(),
                                                  palette.border, qreal(1))),
                TableBackgroundStyle::alternatingRows(palette.background,
                                                      palette.secondaryBackground)),
            0, blockBottomMargin);
    };
    theme.tableCell = [](const TableCellConfiguration &configuration) {
        // Cell text draws no background over the row's colour.
        TextStyle style = BackgroundColor{std::nullopt};
        if (configuration.row == 0)
            style = style.appending(FontWeight{Weight::semibold});
        return lineSpacing(paddingPoints(paddingPoints(textStyle(configuration.label, style),
                                                       verticalEdges, cellVerticalPadding),
                                         horizontalEdges, cellHorizontalPadding),
                           RelativeSize::em(0.25));
    };
    theme.thematicBreak = [palette](const EmptyConfiguration &) {
        const View bar = [palette](const StyleContext &context) {
            const qreal height =
                RelativeSize::em(0.25).points(context.attributes().fontProperties);
            return divider(palette.border, height)(context);
        };
        return marginPoints(bar, headingTopMargin, headingTopMargin);
    };
    return theme;
}

} // namespace

const Theme &Theme::gitHub()
{
    static const Theme theme = makeGitHub();
    return theme;
}

} // namespace tolvaran::markdown
