#pragma once

#include <QFont>
#include <QString>

#include <optional>

namespace tolvaran::markdown {

// A font described field by field, so that text styles can change one field at a time; it
// becomes a QFont only where text is drawn. Sizes are pixels (the points of the layout).
struct FontProperties
{
    enum class Design { standard, serif, rounded, monospaced };
    // The system font in a design, or a font by name.
    struct Family
    {
        Design design = Design::standard;
        std::optional<QString> name;

        static Family system(Design design) { return {design, std::nullopt}; }
        static Family custom(const QString &name) { return {Design::standard, name}; }
        friend bool operator==(const Family &, const Family &) = default;
    };
    enum class FamilyVariant { normal, monospaced };
    enum class CapsVariant { normal, smallCaps, lowercaseSmallCaps, uppercaseSmallCaps };
    enum class DigitVariant { normal, monospaced };
    enum class Style { normal, italic };
    enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
    enum class Width { compressed, condensed, standard, expanded };

    static constexpr qreal defaultSize = 13;
    static constexpr Weight defaultWeight = Weight::regular;

    Family family;
    FamilyVariant familyVariant = FamilyVariant::normal;
    CapsVariant capsVariant = CapsVariant::normal;
    DigitVariant digitVariant = DigitVariant::normal;
    Style style = Style::normal;
    Weight weight = defaultWeight;
    std::optional<Width> widthStorage; // unset reads as standard
    qreal size = defaultSize;          // the last point size set
    qreal scale = 1;                   // em and rem multipliers of `size`

    Width width() const { return widthStorage.value_or(Width::standard); }
    // size × scale, rounded to a whole number (halves away from zero).
    int scaledSize() const;

    // The font this describes, at its scaled size in pixels. Monospaced digits are left to
    // the font (Qt 6.4 offers no font features).
    QFont font() const;

    friend bool operator==(const FontProperties &, const FontProperties &) = default;
};

// A length relative to the font in force: em follows the current font (its scale
// included), rem the last point size set (ignoring every multiplier).
struct RelativeSize
{
    enum class Unit { em, rem };

    qreal value = 0;
    Unit unit = Unit::rem;

    static RelativeSize em(qreal value) { return {value, Unit::em}; }
    static RelativeSize rem(qreal value) { return {value, Unit::rem}; }
    static RelativeSize zero() { return {0, Unit::rem}; }

    // Whole pixels, measured against `font` (13 pixels at scale 1 when absent).
    int points(const std::optional<FontProperties> &font) const;

    friend bool operator==(const RelativeSize &, const RelativeSize &) = default;
};

// To the nearest whole number, halves away from zero.
int wholePoints(qreal value);

} // namespace tolvaran::markdown
