#include "markdown_view/accessibility/VisibleElements.h"

#include "markdown_view/DocumentLayout.h"
#include "markdown_view/items/TextItem.h"
#include "markdown_view/theme/ListMarkers.h"

#include <functional>

namespace tolvaran::markdown {

QList<AccessibleElement> visibleElements(DocumentLayout &layout, const QRectF &visible,
                                         const QPointF &offset,
                                         const std::optional<FocusTarget> &focus)
{
    QList<AccessibleElement> elements;
    const std::function<void(const BlockItem &, QPointF)> visit = [&](const BlockItem &item,
                                                                       QPointF origin) {
        const QRectF frame(origin, item.size());
        // An image still loading takes no room, yet its name is there to be read.
        if (!frame.intersects(visible) && !(frame.isEmpty() && visible.contains(origin)))
            return;
        const QRect shown = frame.translated(offset).toAlignedRect();
        const auto focused = [&](int link) {
            return focus && focus->item == &item && focus->link == link;
        };
        if (const auto *text = dynamic_cast<const TextItem *>(&item)) {
            if (!text->options().accessibleName.isEmpty())
                elements.append({QAccessible::Graphic, text->options().accessibleName, shown});
            const QList<TextItem::Link> links = text->links();
            for (qsizetype link = 0; link < links.size(); ++link) {
                elements.append({QAccessible::Link, links[link].text,
                                 links[link].rect.translated(origin + offset).toAlignedRect(),
                                 false, focused(int(link))});
            }
        } else if (const auto *image = dynamic_cast<const LabelledItem *>(&item)) {
            if (!image->accessibleName().isEmpty()) {
                elements.append(
                    {QAccessible::Graphic, image->accessibleName(), shown, false, focused(0)});
            }
        } else if (const auto *symbol = dynamic_cast<const SymbolItem *>(&item)) {
            if (!symbol->accessibleName().isEmpty()) {
                elements.append({QAccessible::CheckBox, symbol->accessibleName(), shown,
                                 symbol->shape() == SymbolItem::Shape::checkedBox});
            }
        }
        for (const BlockItem::Child &child : item.children())
            visit(*child.item, origin + child.position);
    };
    for (qsizetype index = std::max<qsizetype>(0, layout.blockAt(visible.top()));
         index < layout.laidOutCount(); ++index) {
        const QRectF frame = layout.blockFrame(index);
        if (frame.top() > visible.bottom())
            break;
        visit(*layout.builtItem(index), frame.topLeft());
    }
    return elements;
}

} // namespace tolvaran::markdown
