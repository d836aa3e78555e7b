#pragma once

#include <QAccessible>
#include <QRect>
#include <QString>

namespace tolvaran::markdown {

// The text interface of rendered text that cannot be edited, selected through assistive
// technology or walked with a caret: the reader reads it, asks where it shows and brings it
// into view. The boundaries of words, sentences and lines come from Qt's own defaults.
class ReadOnlyText : public QAccessibleTextInterface
{
public:
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override { return textRect(offset); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int startIndex, int) override { showText(startIndex); }
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void selection(int, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}

protected:
    virtual QString readText() const = 0;
    // Where the character at `offset` shows, in screen coordinates (as near as is known).
    virtual QRect textRect(int offset) const = 0;
    virtual void showText(int offset) = 0;
};

} // namespace tolvaran::markdown
