#pragma once

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

namespace tolvaran::markdown {

// What assistive technology sees of a rendered document: its links (named by their text),
// images (named by their alternative text) and task check boxes, where they are shown.
struct AccessibleElement
{
    QAccessible::Role role = QAccessible::Link;
    QString name;
    QRect rect; // in the viewport's coordinates
    bool checked = false;
    bool focused = false; // the keyboard focus is on it

    friend bool operator==(const AccessibleElement &, const AccessibleElement &) = default;
};

// The viewport of a Markdown view: a plain widget that answers accessibility queries with the
// elements its view reports.
class MarkdownViewport final : public QWidget
{
    Q_OBJECT

public:
    using ElementSource = std::function<QList<AccessibleElement>()>;

    MarkdownViewport(ElementSource elements, QWidget *parent = nullptr);
    QList<AccessibleElement> accessibleElements() const { return m_elements(); }

    // Makes Qt build the interface below for every MarkdownViewport; once per process.
    static void installAccessibleFactory();

private:
    ElementSource m_elements;
};

} // namespace tolvaran::markdown
