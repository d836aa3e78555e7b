#pragma once

#include "widgets/FocusIndicatorStyle.h"

#include <QApplication>
#include <QString>
#include <QStyle>

namespace tolvaran::fixtures {

// The program's style (FocusIndicatorStyle over the style the test program started with) until
// the end of the scope, then the plain style again.
class ScopedFocusIndicatorStyle final
{
public:
    ScopedFocusIndicatorStyle()
        : m_previous(QApplication::style()->name())
    {
        FocusIndicatorStyle::install();
    }
    ~ScopedFocusIndicatorStyle() { QApplication::setStyle(m_previous); }

    ScopedFocusIndicatorStyle(const ScopedFocusIndicatorStyle &) = delete;
    ScopedFocusIndicatorStyle &operator=(const ScopedFocusIndicatorStyle &) = delete;

private:
    QString m_previous;
};

} // namespace tolvaran::fixtures
