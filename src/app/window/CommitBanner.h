#pragma once

#include "app/window/CommitBannerText.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace tolvaran {

class ClosureButton;
class ElidingLabel;

// The strip below the header that announces a teammate's newest commit, with its separator
// (the two show and hide together) and a button that dismisses it.
class CommitBanner final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int bannerHeight = 48;

    explicit CommitBanner(QWidget *parent = nullptr);

    // Shows these lines; none hides the banner.
    void setText(const std::optional<CommitBannerText> &text);

Q_SIGNALS:
    void dismissRequested();

private:
    QLabel *m_title = nullptr;
    ElidingLabel *m_subtitle = nullptr;
};

} // namespace tolvaran
