#include "detail/DetailTabBar.h"

#include "detail/DetailStyle.h"
#include "widgets/AccessibleRole.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

namespace tolvaran {

namespace {
constexpr int iconTextSpacing = 6;
constexpr double cornerRadius = 6;
constexpr double selectedFillOpacity = 0.12;
constexpr double underlineHeight = 2;
constexpr double underlineInset = 8;

QFont tabFont(bool selected)
{
    return BrowserStyle::systemFont(DetailStyle::subheadlineSize,
                                    selected ? QFont::DemiBold : QFont::Normal)
        .font();
}
} // namespace

DetailTabButton::DetailTabButton(ProjectDetailTab tab, QWidget *parent)
    : QAbstractButton(parent)
    , m_tab(tab)
{
    setObjectName(QStringLiteral("detailTab"));
    setText(projectDetailTabLabel(tab));
    setIcon(symbolIcon(projectDetailTabSymbol(tab)));
    setAccessibleName(text());
    setCheckable(true);
    AccessibleRole::markAsTab(this);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    FontScale::follow(this, [this] {
        setFixedHeight(FontScale::scaled(height));
        updateGeometry();
    });
}

void DetailTabButton::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    setChecked(selected);
    updateGeometry();
    update();
}

QSize DetailTabButton::sizeHint() const
{
    // Sized for the bolder font, so that selecting a tab does not shift its neighbours.
    const QFontMetrics metrics(tabFont(true));
    return QSize(2 * horizontalPadding + DetailStyle::symbolSize + iconTextSpacing
                     + metrics.horizontalAdvance(text()),
                 FontScale::scaled(height));
}

void DetailTabButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = SystemColors::accent(palette());
    if (m_isSelected) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.fillPath(background, SystemColors::withAlpha(accent, selectedFillOpacity));
        QPainterPath underline;
        const QRectF bar(underlineInset, QWidget::height() - underlineHeight,
                         width() - 2 * underlineInset, underlineHeight);
        underline.addRoundedRect(bar, underlineHeight / 2, underlineHeight / 2);
        painter.fillPath(underline, accent);
    }
    const QColor textColor = m_isSelected ? palette().color(QPalette::WindowText)
                                          : BrowserStyle::secondaryLabelColor(palette());
    const int iconTop = (QWidget::height() - DetailStyle::symbolSize) / 2;
    icon().paint(&painter, QRect(horizontalPadding, iconTop, DetailStyle::symbolSize,
                                 DetailStyle::symbolSize));
    painter.setFont(tabFont(m_isSelected));
    painter.setPen(textColor);
    const int textLeft = horizontalPadding + DetailStyle::symbolSize + iconTextSpacing;
    painter.drawText(QRect(textLeft, 0, width() - textLeft, QWidget::height()), Qt::AlignVCenter,
                     text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

DetailTabBar::DetailTabBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("detailTabBar"));
    AccessibleRole::markAsTabList(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 7, 16, 7);
    layout->setSpacing(4);
    for (ProjectDetailTab tab : projectDetailTabs()) {
        auto *button = new DetailTabButton(tab, this);
        button->setSelected(tab == m_selected);
        connect(button, &QAbstractButton::clicked, this, [this, tab] {
            setSelectedTab(tab);
            Q_EMIT tabSelected(tab);
        });
        layout->addWidget(button);
        m_buttons.append(button);
    }
    layout->addStretch(1);
}

void DetailTabBar::setSelectedTab(ProjectDetailTab tab)
{
    m_selected = tab;
    for (DetailTabButton *button : m_buttons)
        button->setSelected(button->tab() == tab);
}

} // namespace tolvaran
