#pragma once

#include "markdown_view/FocusTarget.h"

#include <QAccessible>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

class DocumentLayout;

// A link, image or task check box of a rendered document where it shows.
struct AccessibleElement
{
    QAccessible::Role role = QAccessible::Link;
    QString name;
    QRect rect; // in the viewport's coordinates
    bool checked = false;
    bool focused = false; // the keyboard focus is on it

    friend bool operator==(const AccessibleElement &, const AccessibleElement &) = default;
};

// The links (named by their text), images (named by their alternative text) and check boxes
// of the laid-out blocks of `layout` that meet `visible` (document coordinates), with their
// rectangles moved by `offset` into the viewport's coordinates; the one `focus` is on is
// marked.
QList<AccessibleElement> visibleElements(DocumentLayout &layout, const QRectF &visible,
                                         const QPointF &offset,
                                         const std::optional<FocusTarget> &focus);

} // namespace tolvaran::markdown
