#include "detail/sections/ChangedFileList.h"

#include "detail/DetailStyle.h"
#include "widgets/AccessibleRole.h"
#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"
#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLabel>
#include <QHBoxLayout>
#include <QListView>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvaran {

namespace {

constexpr int headingSpacing = 3;
constexpr int symbolSpacing = 4;
// The symbol is drawn a little smaller than the line it sits on.
constexpr int symbolInset = 3;

// The paths as rows of one fixed height. Qt's string-list model has no icon or size role,
// and a standard item per path would cost an object for each of thousands of rows.
class ChangedFileModel final : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void setFiles(const QStringList &files)
    {
        beginResetModel();
        m_files = files;
        endResetModel();
    }

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_files.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_files.size())
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return m_files.at(index.row());
        case Qt::DecorationRole:
            if (m_icon.isNull())
                m_icon = symbolIcon(QStringLiteral("doc.text"));
            return m_icon;
        case Qt::SizeHintRole:
            return QSize(0, FontScale::scaled(ChangedFileList::rowHeight));
        case Qt::ToolTipRole:
            // A long path is cut in the middle; the tooltip shows it whole.
            return plainToolTip(m_files.at(index.row()));
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    QStringList m_files;
    mutable QIcon m_icon;
};

// The gap beside the rows for the scroll bar is a viewport margin, which only a subclass may
// set.
class ChangedFileView final : public QListView
{
public:
    using QListView::QListView;
    using QAbstractScrollArea::setViewportMargins;
};

} // namespace

QString teamStatisticsLine(const SharedProjectState &state)
{
    const qsizetype count = state.changedFiles.size();
    return QStringLiteral("+") + QString::number(state.additions) + QStringLiteral(" -")
        + QString::number(state.deletions) + QStringLiteral(" across ") + QString::number(count)
        + QStringLiteral(" shared file path") + (count == 1 ? QString() : QStringLiteral("s"));
}

QWidget *teamSymbolLabel(const QString &symbol, const QString &text, const ScaledFont &font,
                         const QColor &color, QWidget *parent)
{
    auto *widget = new QWidget(parent);
    auto *layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(symbolSpacing);
    const int size = QFontMetrics(font.font()).height() - symbolInset;
    auto *icon = new QLabel(widget);
    icon->setPixmap(tintedSymbolIcon(symbol, color).pixmap(size, size));
    icon->setFixedSize(size, size);
    QLabel *label = DetailStyle::plainLabel(font, widget, text);
    label->setObjectName(QStringLiteral("symbolLabelText"));
    BrowserStyle::setTextColor(label, color);
    layout->addWidget(icon);
    layout->addWidget(label);
    layout->addStretch(1);
    return widget;
}

QWidget *pendingSummaryLabel(const ScaledFont &font, QWidget *parent)
{
    QWidget *pending = teamSymbolLabel(QStringLiteral("sparkles"),
                                       QStringLiteral("Codex summary pending"), font,
                                       BrowserStyle::secondaryLabelColor(parent->palette()),
                                       parent);
    pending->setObjectName(QStringLiteral("summaryPending"));
    return pending;
}

ChangedFileList::ChangedFileList(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("changedFileList"));
    const ScaledFont caption = BrowserStyle::systemFont(DetailStyle::captionSize);
    m_empty = DetailStyle::plainLabel(caption, this, QStringLiteral("No changed files yet"));
    m_empty->setObjectName(QStringLiteral("noChangedFiles"));
    BrowserStyle::setTextColor(m_empty, BrowserStyle::tertiaryLabelColor(palette()));
    m_heading = DetailStyle::plainLabel(
        BrowserStyle::systemFont(DetailStyle::captionSize, QFont::DemiBold), this);
    m_heading->setObjectName(QStringLiteral("changedFilesHeading"));
    BrowserStyle::setTextColor(m_heading, BrowserStyle::secondaryLabelColor(palette()));

    m_list = new ChangedFileView(this);
    m_list->setObjectName(QStringLiteral("changedFiles"));
    m_list->setModel(new ChangedFileModel(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setIconSize(QSize(DetailStyle::captionSize, DetailStyle::captionSize));
    m_list->setFocusPolicy(Qt::ClickFocus);
    AccessibleRole::keepCurrentItemOnlyWhileFocused(m_list);
    BrowserStyle::monospacedFont(DetailStyle::captionSize).apply(m_list);
    BrowserStyle::setTextColor(m_list, BrowserStyle::secondaryLabelColor(palette()));
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);

    // The rows' text is selectable: the selected paths copy as lines.
    auto *copy = new QShortcut(QKeySequence::Copy, m_list);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] {
        QModelIndexList selected = m_list->selectionModel()->selectedRows();
        std::sort(selected.begin(), selected.end());
        QStringList lines;
        for (const QModelIndex &index : selected)
            lines.append(m_files.value(index.row()));
        if (!lines.isEmpty())
            QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(headingSpacing);
    layout->addWidget(m_empty);
    layout->addWidget(m_heading);
    layout->addWidget(m_list);
    render();
}

void ChangedFileList::setFiles(const QStringList &files)
{
    if (files == m_files)
        return;
    m_files = files;
    render();
}

void ChangedFileList::render()
{
    const QStringList &files = m_files;
    static_cast<ChangedFileModel *>(m_list->model())->setFiles(files);
    const qsizetype count = files.size();
    m_empty->setVisible(count == 0);
    m_heading->setVisible(count > 0);
    m_list->setVisible(count > 0);
    m_heading->setText(QStringLiteral("Changed files (") + QString::number(count)
                       + QStringLiteral(")"));
    const bool scrolls = count > scrollIndicatorThreshold;
    m_list->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAsNeeded
                                               : Qt::ScrollBarAlwaysOff);
    static_cast<ChangedFileView *>(m_list)->setViewportMargins(
        0, 0, scrolls ? scrollIndicatorGap : 0, 0);
    m_list->setFixedHeight(int(std::min<qsizetype>(count, maximumVisibleRows))
                           * FontScale::scaled(rowHeight));
}

} // namespace tolvaran
