#pragma once

#include <QWidget>

class QLabel;

namespace tolvaran {

// What a list of the detail pane shows when it has nothing to list: a symbol and a sentence
// on a rounded card that fills the width.
class DetailEmptyState final : public QWidget
{
    Q_OBJECT

public:
    DetailEmptyState(const QString &text, const QString &symbol, QWidget *parent = nullptr);

    QString text() const;

private:
    QLabel *m_text;
};

} // namespace tolvaran
