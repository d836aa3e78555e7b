#pragma once

#include <QLabel>

namespace tolvaran {

// A plain-text label that cuts each of its lines with an ellipsis (at the tail unless told
// otherwise) when the line is wider than the label: QLabel itself only clips. text() is the
// whole text, and assistive technology reads the whole text too (the cut is drawing only),
// unless the label was given an accessible name of its own.
class ElidingLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    // At most this many lines are shown; further lines are dropped.
    void setMaximumLineCount(int count);
    // Where a line too long for the label is cut.
    void setElideMode(Qt::TextElideMode mode);
    // While the shown text is cut, the tooltip and the accessible description hold the whole
    // text (a caller's own tooltip is replaced; its own description stays).
    void setToolTipWhenCut(bool enabled);

    // As wide as the whole text (the shown text may be cut), so that a label that may grow
    // asks for the room its text needs.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    // A new font cuts the lines elsewhere.
    void changeEvent(QEvent *event) override;

private:
    void updateShownText();

    QString m_text;
    // The accessible name the label gave itself last; one that differs was its owner's.
    QString m_givenName;
    int m_maximumLineCount = 1;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
    bool m_toolTipWhenCut = false;
};

} // namespace tolvaran
