#pragma once

#include "detail/ProjectDetailTab.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>

namespace tolvaran {

// One tab of the bar: its symbol and label; the selected one is tinted and underlined. It is
// checked while selected, and tells assistive technology it is a tab.
class DetailTabButton final : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int height = 34;
    static constexpr int horizontalPadding = 12;

    DetailTabButton(ProjectDetailTab tab, QWidget *parent = nullptr);

    ProjectDetailTab tab() const { return m_tab; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // A click never unchecks the tab: the bar decides which one is selected.
    void nextCheckState() override {}

private:
    ProjectDetailTab m_tab;
    bool m_isSelected = false;
};

// The bar of the pane's tabs, in their order. A click selects a tab at once.
class DetailTabBar final : public QWidget
{
    Q_OBJECT

public:
    explicit DetailTabBar(QWidget *parent = nullptr);

    ProjectDetailTab selectedTab() const { return m_selected; }
    void setSelectedTab(ProjectDetailTab tab);
    const QList<DetailTabButton *> &buttons() const { return m_buttons; }

Q_SIGNALS:
    void tabSelected(ProjectDetailTab tab);

private:
    QList<DetailTabButton *> m_buttons;
    ProjectDetailTab m_selected = ProjectDetailTab::overview;
};

} // namespace tolvaran
