#include "widgets/PlainText.h"

#include <QTextDocument>
#include <QVariant>
#include <QWidget>

namespace tolvaran {

QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    // Markup folds runs of spaces and line breaks into one space; pre-wrap keeps them.
    return QStringLiteral("<qt style=\"white-space:pre-wrap\">") + text.toHtmlEscaped()
           + QStringLiteral("</qt>");
}

namespace {

// The description setPlainToolTip last gave a widget. Qt keeps no mark of who set a
// description: one that differs from this was set by the widget's owner.
constexpr char toolTipDescriptionProperty[] = "tolvaranToolTipDescription";

} // namespace

void setPlainToolTip(QWidget *widget, const QString &text)
{
    widget->setToolTip(plainToolTip(text));
    const QString description = widget->accessibleDescription();
    const QVariant given = widget->property(toolTipDescriptionProperty);
    if (!description.isEmpty() && (!given.isValid() || description != given.toString()))
        return;
    widget->setAccessibleDescription(text);
    widget->setProperty(toolTipDescriptionProperty, text.isEmpty() ? QVariant() : text);
}

QString plainMenuText(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return escaped;
}

} // namespace tolvaran
