#pragma once

#include <QString>
#include <QStringView>

namespace tolvaran::markdown {

// The text of a style element as Qt's SVG renderer is given it. Qt's renderer keeps an
// `@import` rule without following it: each is taken out all the same, up to the `;` that
// ends it, so that no reading of the text ever follows one; `@import` written within a
// comment or a string is no rule, and stays.
struct SvgStyleSheet final
{
    QString text;

    static SvgStyleSheet read(QStringView css);
};

} // namespace tolvaran::markdown
