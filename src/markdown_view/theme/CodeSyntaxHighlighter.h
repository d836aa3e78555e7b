#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

#include <optional>

namespace tolvaran::markdown {

// Colours code: given a code block's text and its fence's language, the ranges to format
// differently. The formats carry only what the highlighting adds (a colour, a weight) on top
// of the font and colour of the code block; the text itself is never changed.
class CodeSyntaxHighlighter
{
public:
    virtual ~CodeSyntaxHighlighter() = default;
    // Ranges in order, not overlapping.
    virtual QList<QTextLayout::FormatRange>
    highlightCode(const QString &code, const std::optional<QString> &language) const = 0;
};

// The default: the code as it is, whatever the language.
class PlainTextCodeSyntaxHighlighter final : public CodeSyntaxHighlighter
{
public:
    QList<QTextLayout::FormatRange> highlightCode(const QString &,
                                                  const std::optional<QString> &) const override
    {
        return {};
    }
};

} // namespace tolvaran::markdown
