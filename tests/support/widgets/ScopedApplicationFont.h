#pragma once

#include <QApplication>
#include <QFont>

namespace tolvaran::fixtures {

// The application font at `points` (as a desktop with larger text sets it) until the end of
// the scope, then the font it replaced.
class ScopedApplicationFont final
{
public:
    explicit ScopedApplicationFont(double points)
        : m_previous(QApplication::font())
    {
        QFont font = m_previous;
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
    ~ScopedApplicationFont() { QApplication::setFont(m_previous); }

    ScopedApplicationFont(const ScopedApplicationFont &) = delete;
    ScopedApplicationFont &operator=(const ScopedApplicationFont &) = delete;

private:
    QFont m_previous;
};

} // namespace tolvaran::fixtures
