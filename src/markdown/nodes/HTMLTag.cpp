#include "markdown/nodes/HTMLTag.h"

#include <QRegularExpression>

namespace tolvaran::markdown {

namespace {

// One compiled expression for the whole process; matching with a const expression is safe
// from any thread.
const QRegularExpression &tagExpression()
{
    static const QRegularExpression expression(QStringLiteral("<\\/?([a-zA-Z0-9]+)[^>]*>"));
    return expression;
}

} // namespace

std::optional<HTMLTag> HTMLTag::fromFragment(const QString &html)
{
    const QRegularExpressionMatch match = tagExpression().match(html);
    if (!match.hasMatch() || match.capturedStart(1) < 0)
        return std::nullopt;
    return HTMLTag{match.captured(1).toLower()};
}

} // namespace tolvaran::markdown
