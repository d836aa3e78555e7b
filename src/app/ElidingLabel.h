#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

namespace tolvaran {

// A one-line label that shortens its text with an ellipsis to fit its width (QLabel clips
// instead). The text is always plain text. Its colour is the palette's window text unless
// one is set.
class ElidingLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit ElidingLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget *parent = nullptr);

    const QString &text() const { return m_text; }
    void setText(const QString &text);
    // The colour of the text; none for the palette's window text.
    void setTextColor(const std::optional<QColor> &color);
    QColor textColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_text;
    Qt::TextElideMode m_mode;
    std::optional<QColor> m_color;
};

} // namespace tolvaran
