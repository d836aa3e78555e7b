#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QToolButton;

namespace tolvaran {

// A row of joined, mutually exclusive buttons of which one is selected: Qt Widgets has no
// such control. Choosing a segment with the mouse or keyboard emits segmentSelected; setting
// the selection from code does not.
class SegmentedControl final : public QWidget
{
    Q_OBJECT

public:
    explicit SegmentedControl(const QStringList &labels, QWidget *parent = nullptr);

    int segmentCount() const { return int(m_buttons.size()); }
    QString label(int segment) const;
    // The selected segment, or -1 when none is.
    int selectedSegment() const;
    // Selects `segment`; an index out of range selects nothing.
    void setSelectedSegment(int segment);

Q_SIGNALS:
    void segmentSelected(int segment);

private:
    QButtonGroup *m_group;
    QList<QToolButton *> m_buttons;
};

} // namespace tolvaran
