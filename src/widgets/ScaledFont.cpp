#include "widgets/ScaledFont.h"

#include "widgets/FontScale.h"

#include <QApplication>
#include <QFontDatabase>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace tolvaran {

QFont ScaledFont::font() const
{
    QFont result = face == Face::monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                            : QApplication::font();
    result.setPixelSize(std::max(1, FontScale::scaled(designPixelSize)));
    result.setWeight(weight);
    return result;
}

void ScaledFont::apply(QWidget *widget) const
{
    Internal::watchApplicationFont();
    widget->setProperty(Internal::scaledFontProperty, QVariant::fromValue(*this));
    widget->setFont(font());
}

} // namespace tolvaran
