#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace tolvaran {

// The team screens' type sizes (pixels) and the small pieces they share.
namespace TeamScreenStyle {

constexpr int largeTitleSize = 26;
constexpr int titleSize = 22;
constexpr int title2Size = 20;
constexpr int title3Size = 17;
constexpr int headlineSize = 14;
constexpr int subheadlineSize = 12;
constexpr int captionSize = 11;
constexpr int caption2Size = 10;
constexpr int symbolSize = 16;
constexpr int boxCornerRadius = 7;
// The busy bar beside a running call: Qt has no small spinner, an indeterminate bar is the
// nearest.
constexpr int busyIndicatorWidth = 48;
constexpr int busyIndicatorHeight = 10;

// A plain-text label (text from outside is never read as markup) in `font`.
QLabel *plainLabel(const QFont &font, QWidget *parent, const QString &text = {});
// A caption label in the secondary colour that wraps.
QLabel *secondaryCaption(QWidget *parent, const QString &text = {});
// A label showing `symbol` at `size` pixels, in `color` when given.
QLabel *symbolLabel(const QString &symbol, int size, QWidget *parent,
                    const QColor &color = QColor());
// The symbol and the text side by side in the headline font.
QWidget *headlineTitle(const QString &text, const QString &symbol, QWidget *parent);
// A wrapped caption beside a symbol, both in the secondary colour.
QWidget *notice(const QString &symbol, const QString &text, QWidget *parent);
// A thin horizontal line in the separator colour.
QWidget *divider(QWidget *parent);
// A push button that Enter presses as well as Space (outside a dialog Qt's buttons take only
// Space), optionally with a symbol.
QPushButton *button(const QString &title, QWidget *parent, const QString &symbol = {});
// An indeterminate bar shown while a call runs; hidden at first.
QProgressBar *busyIndicator(QWidget *parent);
// A caption in red (errors) or green (successes).
void showMessage(QLabel *label, const QString &text, bool isError);

} // namespace TeamScreenStyle

} // namespace tolvaran
