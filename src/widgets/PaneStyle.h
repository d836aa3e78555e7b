#pragma once

#include "widgets/ScaledFont.h"

#include <QColor>
#include <QString>

class QLabel;
class QWidget;

namespace tolvaran {

// The type sizes (pixels) and the small pieces that the detail pane and the team screens
// build their sections from, so that both read as one window.
namespace PaneStyle {

constexpr int title2Size = 20;
constexpr int title3Size = 17;
constexpr int headlineSize = 14;
constexpr int subheadlineSize = 12;
constexpr int captionSize = 11;
constexpr int caption2Size = 10;
constexpr int symbolSize = 16;

// A plain-text label (text from outside is never read as markup) in `font`.
QLabel *plainLabel(const ScaledFont &font, QWidget *parent, const QString &text = {});
// A plain-text label in the application's own font.
QLabel *plainLabel(QWidget *parent, const QString &text);
// A label showing `symbol` at `size` pixels, in `color` when given.
QLabel *symbolLabel(const QString &symbol, int size, QWidget *parent,
                    const QColor &color = QColor());
// A thin horizontal line in the separator colour, named "divider".
QWidget *divider(QWidget *parent);

} // namespace PaneStyle

} // namespace tolvaran
