#include "widgets/SystemColors.h"

namespace tolvaran::SystemColors {

QColor red() { return QColor(255, 59, 48); }
QColor orange() { return QColor(255, 149, 0); }
QColor yellow() { return QColor(204, 153, 0); } // darkened: pure yellow is unreadable on white
QColor green() { return QColor(40, 167, 69); }
QColor purple() { return QColor(175, 82, 222); }

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor label(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor separator(const QPalette &palette)
{
    return withAlpha(label(palette), 0.16);
}

QColor controlBackground(const QPalette &palette)
{
    return palette.color(QPalette::Base);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * alpha));
    return color;
}

} // namespace tolvaran::SystemColors
