#include "remote_image/svg/SvgStyleSheet.h"

namespace tolvaran::markdown {

namespace {

// Past the comment or the string that starts at `at`; `at` itself where none does. A string
// ends at its quote or, left open, before the end of its line, as CSS reads it.
qsizetype pastCommentOrString(QStringView css, qsizetype at)
{
    if (css.mid(at, 2) == u"/*") {
        const qsizetype end = css.indexOf(u"*/", at + 2);
        return end < 0 ? css.size() : end + 2;
    }
    const QChar quote = css[at];
    if (quote != u'"' && quote != u'\'')
        return at;
    for (qsizetype i = at + 1; i < css.size(); ++i) {
        if (css[i] == u'\\')
            ++i;
        else if (css[i] == quote)
            return i + 1;
        else if (css[i] == u'\n')
            return i;
    }
    return css.size();
}

// Past the `;` that ends the `@import` rule at `at`: none within a comment, a string or an
// address (`url(a;b)`).
qsizetype pastImport(QStringView css, qsizetype at)
{
    int parentheses = 0;
    for (qsizetype i = at; i < css.size();) {
        const qsizetype past = pastCommentOrString(css, i);
        if (past != i) {
            i = past;
            continue;
        }
        if (css[i] == u'(')
            ++parentheses;
        else if (css[i] == u')' && parentheses > 0)
            --parentheses;
        else if (css[i] == u';' && parentheses == 0)
            return i + 1;
        ++i;
    }
    return css.size();
}

bool isImport(QStringView css, qsizetype at)
{
    return css[at] == u'@' && css.mid(at + 1, 6).compare(u"import", Qt::CaseInsensitive) == 0;
}

} // namespace

SvgStyleSheet SvgStyleSheet::read(QStringView css)
{
    SvgStyleSheet sheet;
    // Where the text not yet copied begins.
    qsizetype from = 0;
    for (qsizetype i = 0; i < css.size();) {
        const qsizetype past = pastCommentOrString(css, i);
        if (past != i) {
            i = past;
            continue;
        }
        if (isImport(css, i)) {
            sheet.text += css.mid(from, i - from);
            i = pastImport(css, i);
            from = i;
            continue;
        }
        ++i;
    }
    sheet.text += css.mid(from);
    return sheet;
}

} // namespace tolvaran::markdown
