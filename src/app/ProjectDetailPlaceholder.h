#pragma once

#include <QWidget>

#include <functional>

namespace tolvaran {

// Stands in for a project's detail pane until it is built: the project's name and a way back
// to the browser.
class ProjectDetailPlaceholder final : public QWidget
{
    Q_OBJECT

public:
    ProjectDetailPlaceholder(const QString &projectName, std::function<void()> onClose,
                             QWidget *parent = nullptr);
};

} // namespace tolvaran
