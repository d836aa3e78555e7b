#pragma once

#include "widgets/ScaledFont.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QWidget;

namespace tolvaran {

class ClosureButton;
class ElidingLabel;

// The browser's bars build their labels, buttons and dividers alike; each part is named after
// its role (the object name the tests and the accessibility tree find it by).
namespace BrowserWidgets {

// A one-pixel horizontal line in the tertiary text colour.
QFrame *horizontalSeparator(QWidget *parent);
// A label of plain text (the texts come from outside: repositories, Codex, teammates).
QLabel *label(QWidget *parent, const QString &name, const ScaledFont &font,
              std::optional<QColor> color = std::nullopt);
ElidingLabel *elidingLabel(QWidget *parent, const QString &name, const ScaledFont &font,
                           const QColor &color);
ClosureButton *symbolButton(QWidget *parent, const QString &name, const QString &symbol,
                            const QString &help);
// A pop-up button as wide as its longest item.
QComboBox *popUpButton(QWidget *parent, const QString &name, const QStringList &items);

// The position of `value` among the choices a control lists, or -1 (no item chosen).
template <typename Enum, std::size_t N>
int choiceIndex(const std::array<Enum, N> &cases, Enum value)
{
    const auto found = std::find(cases.begin(), cases.end(), value);
    return found == cases.end() ? -1 : int(found - cases.begin());
}

} // namespace BrowserWidgets
} // namespace tolvaran
