#pragma once

#include <QFont>
#include <QMetaType>

class QWidget;

namespace tolvaran {

// A font of the design: its size in pixels at the default application font (FontScale), its
// weight and its face. The face takes the application font's family, so the window's text
// follows the desktop's choice of typeface as well as its size.
struct ScaledFont
{
    enum class Face { system, monospaced };

    int designPixelSize = 13;
    QFont::Weight weight = QFont::Normal;
    Face face = Face::system;

    friend bool operator==(const ScaledFont &, const ScaledFont &) = default;

    // The font at the current scale.
    QFont font() const;
    // Gives `widget` this font, now and again after every change of the application font
    // (a later apply replaces the earlier one).
    void apply(QWidget *widget) const;
};

} // namespace tolvaran

Q_DECLARE_METATYPE(tolvaran::ScaledFont)
