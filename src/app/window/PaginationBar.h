#pragma once

#include "data/catalog/ProjectListChoices.h"

#include <QWidget>

class QComboBox;
class QLabel;

namespace tolvaran {

class ClosureButton;

// The bar below the cards: the summary of the page ("21-23 of 23"), the buttons to the
// previous and next page around "Page 3 of 3", and the page size.
class PaginationBar final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int barHeight = 42;

    explicit PaginationBar(QWidget *parent = nullptr);

    // `currentPage` counts from 1; a button that leads to no page is disabled.
    void setPage(const QString &summary, qint64 currentPage, qint64 totalPages,
                 ProjectPageSize pageSize);

Q_SIGNALS:
    void previousPageRequested();
    void nextPageRequested();
    void pageSizeChosen(ProjectPageSize size);

private:
    QLabel *m_summaryLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    ClosureButton *m_previousButton = nullptr;
    ClosureButton *m_nextButton = nullptr;
    QComboBox *m_pageSizeButton = nullptr;
};

} // namespace tolvaran
