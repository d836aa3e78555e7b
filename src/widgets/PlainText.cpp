#include "widgets/PlainText.h"

#include <QTextDocument>

namespace tolvaran {

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    // Markup folds runs of spaces and line breaks into one space; pre-wrap keeps them.
    return QStringLiteral("<qt style=\"white-space:pre-wrap\">") + text.toHtmlEscaped()
           + QStringLiteral("</qt>");
}

QString plainMenuText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

} // namespace tolvaran
