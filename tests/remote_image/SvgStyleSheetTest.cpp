#include "remote_image/svg/SvgStyleSheet.h"

#include <gtest/gtest.h>

namespace tolvaran::markdown {
namespace {

TEST(SvgStyleSheet, takesOutImportRulesAndCountsTheSelectorsQtTests)
{
    const struct
    {
        const char *name;
        QString css;
        QString text;
        qsizetype rules;
        qsizetype testedSelectors;
        qsizetype universalRules;
    } rows[] = {
        {"import in a comment", "/* by @import; */ a { fill: red }",
         "/* by @import; */ a { fill: red }", 1, 0, 0},
        {"import in a string", ".k { font-family: \"@import\"; fill: red }",
         ".k { font-family: \"@import\"; fill: red }", 1, 1, 0},
        {"import naming an address with a semicolon",
         "@IMPORT url(a;b.css) /* ; */;* { fill: red }", "* { fill: red }", 1, 0, 1},
        {"import whose string holds a semicolon", "@import \"a;b.css\"; .k { fill: red }",
         " .k { fill: red }", 1, 1, 0},
        {"rule for every element without declarations", "* {}", "* {}", 1, 1, 0},
        // Passed over by name or id: rect, #b, g rect.
        {"selectors of every kind", "rect, .a, #b, g > *, [x], :hover, g rect, *.c { fill: red }",
         "rect, .a, #b, g > *, [x], :hover, g rect, *.c { fill: red }", 1, 5, 0},
        {"braces in strings", ".a { content: \"}\" } .b { fill: red }",
         ".a { content: \"}\" } .b { fill: red }", 2, 2, 0},
        {"rules within at-rules", "@media print { .a { fill: red } } @font-face { src: url(x) }",
         "@media print { .a { fill: red } } @font-face { src: url(x) }", 3, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const SvgStyleSheet sheet = SvgStyleSheet::read(row.css);
        EXPECT_EQ(sheet.text, row.text);
        EXPECT_EQ(sheet.rules, row.rules);
        EXPECT_EQ(sheet.testedSelectors, row.testedSelectors);
        EXPECT_EQ(sheet.universalRules, row.universalRules);
    }
}

} // namespace
} // namespace tolvaran::markdown
