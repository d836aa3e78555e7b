#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QString>

class QLabel;
class QWidget;

namespace tolvaran {

// The detail pane's type sizes (pixels) and the small pieces its sections share.
namespace DetailStyle {

constexpr int title3Size = 17;
constexpr int title2Size = 20;
constexpr int headlineSize = 14;
constexpr int subheadlineSize = 12;
constexpr int captionSize = 11;
constexpr int caption2Size = 10;
constexpr int symbolSize = 16;

// A section title: the symbol (none when empty) and the text, in the semibold title font.
QWidget *sectionTitle(const QString &text, const QString &symbol, QWidget *parent);
// A plain-text label (text from outside is never read as markup) in `font`.
QLabel *plainLabel(const QFont &font, QWidget *parent, const QString &text = {});
// A label showing `symbol` at `size` pixels.
QLabel *symbolLabel(const QString &symbol, int size, QWidget *parent);
// A thin horizontal line in the separator colour.
QWidget *divider(QWidget *parent);

} // namespace DetailStyle

} // namespace tolvaran
