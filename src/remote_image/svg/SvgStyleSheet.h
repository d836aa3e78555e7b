#pragma once

#include <QString>
#include <QStringView>

namespace tolvaran::markdown {

// The text of a style element as Qt's SVG renderer is given it, and what matching its rules
// costs (SvgReadingWork). Qt's renderer keeps an `@import` rule without following it: each is
// taken out all the same, up to the `;` that ends it, so that no reading of the text ever
// follows one; `@import` written within a comment or a string is no rule, and stays. Qt tests
// every element against the selectors of the rules: one whose last part names an element or
// an id is passed over at once, one of classes, attributes or states alone is tested, and `*`
// alone matches every element. Rules within at-rules (`@media`, `@font-face`) are matched
// against none.
struct SvgStyleSheet final
{
    QString text;
    // The blocks read, of rules and at-rules.
    qsizetype rules = 0;
    // The selectors tested against every element, and the rules of declarations for every
    // element.
    qsizetype testedSelectors = 0;
    qsizetype universalRules = 0;

    static SvgStyleSheet read(QStringView css);
};

} // namespace tolvaran::markdown
