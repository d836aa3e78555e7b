#include "widgets/ElidingLabel.h"

#include "widgets/PlainText.h"

#include <QEvent>
#include <QFontMetrics>

namespace tolvaran {

ElidingLabel::ElidingLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidingLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setPlainToolTip(this, QString());
    // Qt reads a label by the text it shows, which would be the cut one.
    const QString name = accessibleName();
    if (name.isEmpty() || name == m_givenName) {
        m_givenName = text;
        setAccessibleName(text);
    }
    updateShownText();
    updateGeometry();
}

void ElidingLabel::setMaximumLineCount(int count)
{
    m_maximumLineCount = std::max(1, count);
    updateShownText();
}

void ElidingLabel::setToolTipWhenCut(bool enabled)
{
    m_toolTipWhenCut = enabled;
    updateShownText();
}

void ElidingLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    updateShownText();
}

QSize ElidingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    int widest = 0;
    const QStringList lines = m_text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), m_maximumLineCount); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(lines.at(i)));
    const QMargins margins = contentsMargins();
    QSize hint = QLabel::sizeHint();
    hint.setWidth(widest + margins.left() + margins.right() + 2 * margin() + 1);
    return hint;
}

QSize ElidingLabel::minimumSizeHint() const
{
    // Any width will do: the text is cut to fit.
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateShownText();
}

void ElidingLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateShownText();
}

void ElidingLabel::updateShownText()
{
    const QFontMetrics metrics(font());
    const int available = std::max(0, contentsRect().width());
    QStringList lines = m_text.split(QLatin1Char('\n'));
    bool cut = lines.size() > m_maximumLineCount;
    if (cut)
        lines.resize(m_maximumLineCount);
    for (QString &line : lines) {
        const QString shown = metrics.elidedText(line, m_elideMode, available);
        cut = cut || shown != line;
        line = shown;
    }
    QLabel::setText(lines.join(QLatin1Char('\n')));
    if (m_toolTipWhenCut)
        setPlainToolTip(this, cut ? m_text : QString());
}

} // namespace tolvaran
