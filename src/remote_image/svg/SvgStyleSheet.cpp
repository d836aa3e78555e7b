#include "remote_image/svg/SvgStyleSheet.h"

#include <QList>

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

enum class Selector { named, tested, universal };

// How Qt matches an element against `selector`, by its last compound selector (what follows
// its last combinator): passed over by the element's name or id, tested, or matching all.
Selector kindOf(QStringView selector)
{
    selector = selector.trimmed();
    if (selector == u"*")
        return Selector::universal;
    int nesting = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < selector.size(); ++i) {
        const QChar c = selector[i];
        if (c == u'[' || c == u'(')
            ++nesting;
        else if (c == u']' || c == u')')
            --nesting;
        else if (nesting == 0 && (c.isSpace() || c == u'>' || c == u'+' || c == u'~'))
            start = i + 1;
    }
    QStringView last = selector.mid(start);
    if (last.startsWith(u'*'))
        last = last.mid(1);
    if (!last.isEmpty()
        && (last[0].isLetter() || last[0] == u'_' || last[0] == u'-' || last[0] == u'\\'
            || last[0].unicode() > 0x7f))
        return Selector::named;
    nesting = 0;
    for (const QChar c : last) {
        if (c == u'[' || c == u'(')
            ++nesting;
        else if (c == u']' || c == u')')
            --nesting;
        else if (nesting == 0 && c == u'#')
            return Selector::named;
    }
    return Selector::tested;
}

// The selectors of a rule, split at commas outside brackets and parentheses.
QList<QStringView> selectorsOf(QStringView prelude)
{
    QList<QStringView> selectors;
    int nesting = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < prelude.size(); ++i) {
        const QChar c = prelude[i];
        if (c == u'[' || c == u'(')
            ++nesting;
        else if (c == u']' || c == u')')
            --nesting;
        else if (nesting == 0 && c == u',') {
            selectors.append(prelude.mid(start, i - start));
            start = i + 1;
        }
    }
    selectors.append(prelude.mid(start));
    return selectors;
}

// A rule at the top of the sheet, whose block is being read.
struct OpenRule
{
    bool open = false;
    qsizetype tested = 0;
    bool universal = false;
    bool declares = false;
};

} // namespace

SvgStyleSheet SvgStyleSheet::read(QStringView css)
{
    SvgStyleSheet sheet;
    // Where the text not yet copied begins.
    qsizetype from = 0;
    int depth = 0;
    // What comes before the next block, comments left out.
    QString prelude;
    OpenRule rule;
    for (qsizetype i = 0; i < css.size();) {
        const qsizetype past = pastCommentOrString(css, i);
        if (past != i) {
            if (css[i] != u'/')
                prelude += css.mid(i, past - i);
            i = past;
            continue;
        }
        if (isImport(css, i)) {
            sheet.text += css.mid(from, i - from);
            i = pastImport(css, i);
            from = i;
            continue;
        }
        const QChar c = css[i++];
        if (c == u'{') {
            const QStringView before = QStringView(prelude).trimmed();
            if (!before.isEmpty())
                ++sheet.rules;
            if (depth++ == 0 && !before.isEmpty() && !before.startsWith(u'@')) {
                rule = OpenRule{true};
                for (const QStringView selector : selectorsOf(before)) {
                    const Selector kind = kindOf(selector);
                    rule.universal = rule.universal || kind == Selector::universal;
                    rule.tested += kind == Selector::tested ? 1 : 0;
                }
            }
            prelude.clear();
        } else if (c == u'}') {
            if (depth > 0 && --depth == 0 && rule.open) {
                sheet.testedSelectors += rule.tested;
                // A rule for every element without declarations is only tested.
                if (rule.universal)
                    (rule.declares ? sheet.universalRules : sheet.testedSelectors) += 1;
                rule = OpenRule{};
            }
            prelude.clear();
        } else if (c == u';') {
            prelude.clear();
        } else {
            prelude += c;
            if (c == u':' && depth == 1 && rule.open)
                rule.declares = true;
        }
    }
    sheet.text += css.mid(from);
    return sheet;
}

} // namespace tolvaran::markdown
