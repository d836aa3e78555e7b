#pragma once

#include "widgets/PaneStyle.h"

#include <QString>

class QWidget;

namespace tolvaran {

// The detail pane's type sizes and the small pieces its sections share: the common ones
// are the team screens' too.
namespace DetailStyle {

using PaneStyle::caption2Size;
using PaneStyle::captionSize;
using PaneStyle::divider;
using PaneStyle::headlineSize;
using PaneStyle::plainLabel;
using PaneStyle::subheadlineSize;
using PaneStyle::symbolLabel;
using PaneStyle::symbolSize;
using PaneStyle::title2Size;
using PaneStyle::title3Size;

// A section title: the symbol (none when empty) and the text, in the semibold title font.
QWidget *sectionTitle(const QString &text, const QString &symbol, QWidget *parent);

} // namespace DetailStyle

} // namespace tolvaran
