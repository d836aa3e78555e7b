#pragma once

#include "widgets/ElidingLabel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// What a widget tree shows of a text, read the way Qt reads it, for tests that hand a screen
// text from outside (names, paths, branches, servers' sentences) and check that the user sees
// the characters as they were typed. Header-only: the support library links no widgets.
namespace tolvaran::fixtures {

// Text from outside that Qt reads as markup when given the chance: tags that colour and size
// text, a picture of this computer, entities, and runs of spaces that markup folds into one.
inline QStringList markupSamples()
{
    return {QStringLiteral("<h1 style=\"color:red\">Key expired: rejoin</h1>"),
            QStringLiteral("<b>x</b>"),
            QStringLiteral("<img src=\"file:///etc/x.png\">"),
            QStringLiteral("&amp; a & b"),
            QStringLiteral("&lt;i&gt;not italic&lt;/i&gt;"),
            QStringLiteral("two  <i>spaces</i>")};
}

// What the user reads where Qt shows `text` in `format`: rich text, or automatic text that
// Qt takes for markup, is read as markup first.
inline QString shownText(const QString &text, Qt::TextFormat format = Qt::AutoText)
{
    const bool rich = format == Qt::RichText || format == Qt::MarkdownText
                      || (format == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich)
        return text;
    QTextDocument document;
    if (format == Qt::MarkdownText)
        document.setMarkdown(text);
    else
        document.setHtml(text);
    return document.toPlainText();
}

// A button's or menu item's title as drawn: "&&" is one "&", and a single "&" marks the
// shortcut letter and is not drawn.
inline QString shownTitle(const QString &title)
{
    QString shown;
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) == QLatin1Char('&') && i + 1 < title.size())
            ++i;
        shown.append(title.at(i));
    }
    return shown;
}

// What assistive technology reads as `object`'s description. A widget without one of its own
// hands over its tooltip, markup and all.
inline QString accessibleDescription(const QObject &object)
{
    QAccessibleInterface *node =
        QAccessible::queryAccessibleInterface(const_cast<QObject *>(&object));
    return node ? node->text(QAccessible::Description) : QString();
}

// One text a tree shows: which widget, what it was given, and what the user reads.
struct ShownText
{
    QString where;
    QString given;
    QString shown;
};

namespace shown_text_detail {

inline QString whereOf(const QObject &object, const char *part)
{
    return QString::fromLatin1(object.metaObject()->className()) + QLatin1Char(' ')
           + object.objectName() + QLatin1Char(' ') + QLatin1String(part);
}

inline void addItems(const QAbstractItemView &view, const QModelIndex &parent,
                     QList<ShownText> &texts)
{
    const QAbstractItemModel *model = view.model();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        for (int column = 0; column < model->columnCount(parent); ++column) {
            const QModelIndex index = model->index(row, column, parent);
            // The standard delegates draw an item's text as plain text.
            const QString display = index.data(Qt::DisplayRole).toString();
            texts.append({whereOf(view, "item"), display, display});
            const QString tip = index.data(Qt::ToolTipRole).toString();
            texts.append({whereOf(view, "item tooltip"), tip, shownText(tip)});
            addItems(view, index, texts);
        }
    }
}

} // namespace shown_text_detail

// Every text that `root` and the widgets below it show: labels, titles of buttons and menu
// items, tooltips, line edits, and the items of item views and combo boxes; and the
// descriptions assistive technology reads of them, which are read out as they are, never as
// markup.
inline QList<ShownText> shownTexts(const QWidget &root)
{
    using shown_text_detail::whereOf;
    QList<ShownText> texts;
    QList<const QWidget *> widgets{&root};
    for (const QWidget *child : root.findChildren<QWidget *>())
        widgets.append(child);
    for (const QWidget *widget : widgets) {
        const QString tip = widget->toolTip();
        texts.append({whereOf(*widget, "tooltip"), tip, shownText(tip)});
        const QString description = accessibleDescription(*widget);
        texts.append({whereOf(*widget, "description"), description, description});
        if (const auto *eliding = qobject_cast<const ElidingLabel *>(widget)) {
            // Plain text, cut to the label's width: the whole text is what it shows.
            texts.append({whereOf(*widget, "text"), eliding->text(),
                          shownText(eliding->text(), eliding->textFormat())});
        } else if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            texts.append({whereOf(*widget, "text"), label->text(),
                          shownText(label->text(), label->textFormat())});
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
            texts.append({whereOf(*widget, "title"), button->text(), shownTitle(button->text())});
        } else if (const auto *field = qobject_cast<const QLineEdit *>(widget)) {
            texts.append({whereOf(*widget, "text"), field->text(), field->text()});
        } else if (const auto *box = qobject_cast<const QComboBox *>(widget)) {
            for (int index = 0; index < box->count(); ++index)
                texts.append({whereOf(*widget, "item"), box->itemText(index),
                              box->itemText(index)});
        } else if (const auto *view = qobject_cast<const QAbstractItemView *>(widget)) {
            if (view->model())
                shown_text_detail::addItems(*view, QModelIndex(), texts);
        }
        if (const auto *menu = qobject_cast<const QMenu *>(widget)) {
            for (const QAction *action : menu->actions()) {
                texts.append({whereOf(*menu, "item"), action->text(),
                              shownTitle(action->text())});
                // A menu shows its items' tooltips only when told to.
                if (menu->toolTipsVisible())
                    texts.append({whereOf(*menu, "item tooltip"), action->toolTip(),
                                  shownText(action->toolTip())});
            }
        }
    }
    return texts;
}

// Holds when some text of `root` shows `typed` as typed, and every text given `typed`, as it
// is or escaped, shows it so: read as markup, "<b>x</b>" would show as a bold "x", "&amp;"
// as "&", and two spaces as one.
inline ::testing::AssertionResult showsAsTyped(const QWidget &root, const QString &typed)
{
    bool reached = false;
    QStringList misread;
    for (const ShownText &text : shownTexts(root)) {
        const bool shows = text.shown.contains(typed);
        reached = reached || shows;
        // Given as typed, or escaped to be read as markup.
        const bool given =
            text.given.contains(typed) || text.given.contains(typed.toHtmlEscaped());
        if (given && !shows)
            misread.append(text.where + QStringLiteral(" shows \"") + text.shown
                           + QLatin1Char('"'));
    }
    if (!misread.isEmpty()) {
        return ::testing::AssertionFailure()
               << "\"" << typed.toStdString() << "\" is read as markup: "
               << misread.join(QStringLiteral("; ")).toStdString();
    }
    if (!reached)
        return ::testing::AssertionFailure() << "\"" << typed.toStdString() << "\" is not shown";
    return ::testing::AssertionSuccess();
}

// Holds when every widget of `root` whose tooltip holds `typed`, as typed or escaped, gives
// assistive technology the tooltip's text as the user reads it for its description.
inline ::testing::AssertionResult describesAsTyped(const QWidget &root, const QString &typed)
{
    using shown_text_detail::whereOf;
    QList<const QWidget *> widgets{&root};
    for (const QWidget *child : root.findChildren<QWidget *>())
        widgets.append(child);
    QStringList misdescribed;
    for (const QWidget *widget : widgets) {
        const QString tip = widget->toolTip();
        if (!tip.contains(typed) && !tip.contains(typed.toHtmlEscaped()))
            continue;
        const QString description = accessibleDescription(*widget);
        if (description != shownText(tip))
            misdescribed.append(whereOf(*widget, "description") + QStringLiteral(" is \"")
                                + description + QLatin1Char('"'));
    }
    if (!misdescribed.isEmpty()) {
        return ::testing::AssertionFailure()
               << "\"" << typed.toStdString() << "\" is not described as typed: "
               << misdescribed.join(QStringLiteral("; ")).toStdString();
    }
    return ::testing::AssertionSuccess();
}

// One place of a screen that shows text from outside: `show` builds the part of the screen
// that shows `typed` under `host`.
struct MarkupPlace
{
    const char *name;
    std::function<void(QWidget &host, const QString &typed)> show;
};

// Shows each of markupSamples() at each of `places`, each time under a new host, and checks
// that it shows, and is described, as typed.
inline void expectEveryPlaceShowsAsTyped(const QList<MarkupPlace> &places)
{
    for (const MarkupPlace &place : places) {
        for (const QString &typed : markupSamples()) {
            SCOPED_TRACE(place.name);
            QWidget host;
            host.resize(900, 600);
            place.show(host, typed);
            EXPECT_TRUE(showsAsTyped(host, typed));
            EXPECT_TRUE(describesAsTyped(host, typed));
        }
    }
}

} // namespace tolvaran::fixtures
