#include "widgets/SegmentedControl.h"

#include "widgets/BrowserStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace tolvaran {

SegmentedControl::SegmentedControl(const QStringList &labels, QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_group->setExclusive(true);
    for (int index = 0; index < labels.size(); ++index) {
        auto *button = new QToolButton(this);
        button->setText(labels[index]);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QToolButton::toggled, button,
                [button](bool checked) { BrowserStyle::setSelectedLook(button, checked); });
        m_group->addButton(button, index);
        m_buttons.append(button);
        layout->addWidget(button);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::segmentSelected);
}

QString SegmentedControl::label(int segment) const
{
    return segment >= 0 && segment < m_buttons.size() ? m_buttons[segment]->text() : QString();
}

int SegmentedControl::selectedSegment() const
{
    return m_group->checkedId();
}

void SegmentedControl::setSelectedSegment(int segment)
{
    if (segment >= 0 && segment < m_buttons.size()) {
        m_buttons[segment]->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift the rule to clear it.
    m_group->setExclusive(false);
    for (QToolButton *button : m_buttons)
        button->setChecked(false);
    m_group->setExclusive(true);
}

} // namespace tolvaran
