#pragma once

#include "markdown/InlineContent.h"
#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentProtocol.h"
#include "markdown/raw/RawTableColumnAlignment.h"
#include "markdown/raw/RawTableRow.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <type_traits>

namespace tolvaran::markdown {

enum class TextTableColumnAlignment { leading, center, trailing };

// One column of a table built in code: its header and how a row value becomes its cell.
template <typename Row>
struct TextTableColumn
{
    using Content = std::function<InlineContent(const Row &)>;

    std::optional<TextTableColumnAlignment> alignment;
    InlineContent title;
    Content content;

    TextTableColumn(std::optional<TextTableColumnAlignment> columnAlignment,
                    InlineContent columnTitle, Content cellContent)
        : alignment(columnAlignment)
        , title(std::move(columnTitle))
        , content(std::move(cellContent))
    {
    }
    // A header of plain text (never parsed as Markdown).
    TextTableColumn(std::optional<TextTableColumnAlignment> columnAlignment,
                    const QString &columnTitle, Content cellContent)
        : TextTableColumn(columnAlignment,
                          InlineContent(InlineNode::Text{columnTitle}),
                          std::move(cellContent))
    {
    }

    // A column whose cells are the text of one member of the row value.
    template <typename Value>
    static TextTableColumn value(std::optional<TextTableColumnAlignment> columnAlignment,
                                 const QString &columnTitle, Value Row::*member)
    {
        return TextTableColumn(columnAlignment, columnTitle, [member](const Row &row) {
            return InlineContent(InlineNode::Text{description(row.*member)});
        });
    }

private:
    template <typename Value>
    static QString description(const Value &value)
    {
        if constexpr (std::is_convertible_v<Value, QString>)
            return QString(value);
        else if constexpr (std::is_arithmetic_v<Value>)
            return QString::number(value);
        else
            return QVariant::fromValue(value).toString();
    }
};

template <typename Row>
struct TextTableRow
{
    Row value;
    explicit TextTableRow(Row rowValue) : value(std::move(rowValue)) {}
};

// A table built in code from row values and column descriptions: the same table node the
// parser makes of a table, header first, every row with one cell per column. Columns and
// rows are lists; conditions and loops are the caller's own code around building them.
class TextTable final : public MarkdownContentProtocol
{
public:
    template <typename Range, typename Row>
    TextTable(const Range &data, const QList<TextTableColumn<Row>> &columns)
    {
        RawTableRow header;
        for (const TextTableColumn<Row> &column : columns) {
            columnAlignments.append(alignmentOf(column.alignment));
            header.cells.append(RawTableCell{column.title.inlines()});
        }
        rows.append(header);
        for (const auto &value : data) {
            RawTableRow row;
            for (const TextTableColumn<Row> &column : columns)
                row.cells.append(RawTableCell{column.content(value).inlines()});
            rows.append(row);
        }
    }

    template <typename Row>
    TextTable(const QList<TextTableColumn<Row>> &columns,
              const QList<TextTableRow<Row>> &rowValues)
        : TextTable(valuesOf(rowValues), columns)
    {
    }

    MarkdownContent markdownContent() const override;

    QList<RawTableColumnAlignment> columnAlignments;
    QList<RawTableRow> rows;

private:
    static RawTableColumnAlignment alignmentOf(std::optional<TextTableColumnAlignment> alignment);

    template <typename Row>
    static QList<Row> valuesOf(const QList<TextTableRow<Row>> &rowValues)
    {
        QList<Row> values;
        for (const TextTableRow<Row> &row : rowValues)
            values.append(row.value);
        return values;
    }
};

} // namespace tolvaran::markdown
