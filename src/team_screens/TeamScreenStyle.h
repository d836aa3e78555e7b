#pragma once

#include "widgets/PaneStyle.h"

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
// The sizes and pieces the detail pane uses too.
using PaneStyle::caption2Size;
using PaneStyle::captionSize;
using PaneStyle::headlineSize;
using PaneStyle::subheadlineSize;
using PaneStyle::symbolSize;
using PaneStyle::title2Size;
using PaneStyle::title3Size;

using PaneStyle::divider;
using PaneStyle::plainLabel;
using PaneStyle::symbolLabel;

constexpr int boxCornerRadius = 7;
// The busy bar beside a running call: Qt has no small spinner, an indeterminate bar is the
// nearest.
constexpr int busyIndicatorWidth = 48;
constexpr int busyIndicatorHeight = 10;

// A caption label in the secondary colour that wraps.
QLabel *secondaryCaption(QWidget *parent, const QString &text = {});
// The symbol and the text side by side in the headline font.
QWidget *headlineTitle(const QString &text, const QString &symbol, QWidget *parent);
// A wrapped caption beside a symbol, both in the secondary colour.
QWidget *notice(const QString &symbol, const QString &text, QWidget *parent);
// A push button, optionally with a symbol.
QPushButton *button(const QString &title, QWidget *parent, const QString &symbol = {});
// An indeterminate bar shown while a call runs; hidden at first.
QProgressBar *busyIndicator(QWidget *parent);
// A caption in red (errors) or green (successes).
void showMessage(QLabel *label, const QString &text, bool isError);

} // namespace TeamScreenStyle

} // namespace tolvaran
