#pragma once

#include "remote_image/ImageSource.h"

#include <QWidget>

#include <functional>
#include <optional>

class QStackedLayout;

namespace tolvaran::markdown {

class RemoteImageLoader;
class RemoteImageModel;

// The older form of a network image: the caller builds one widget for each phase of the
// load. `placeholder()` shows until the load ends, `content(image)` after it succeeds and
// `fallback()` after it fails; each widget is built when its phase begins and replaces the
// one before. The load starts when the widget is first shown.
class [[deprecated("use RemoteImage")]] PhasedRemoteImage final : public QWidget
{
    Q_OBJECT

public:
    using ContentFactory = std::function<QWidget *(const QImage &image)>;
    using EmptyFactory = std::function<QWidget *()>;

    PhasedRemoteImage(const QUrl &url, qreal scale, ContentFactory content,
                      EmptyFactory placeholder, EmptyFactory fallback,
                      QWidget *parent = nullptr);
    ~PhasedRemoteImage() override;

    // None (the default) stands for the shared loader; see RemoteImageModel.
    void setImageLoader(RemoteImageLoader *loader);
    void setImageBaseURL(const QUrl &url);

    const RemoteImageModel &model() const { return *m_model; }
    // The widget of the current phase.
    QWidget *shownWidget() const { return m_shown; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void imageChanged();
    void showPhase(QWidget *widget);

    RemoteImageModel *const m_model;
    const std::optional<ImageSource> m_source;
    const ContentFactory m_content;
    const EmptyFactory m_placeholder;
    const EmptyFactory m_fallback;
    QStackedLayout *const m_layout;
    QWidget *m_shown = nullptr;
};

} // namespace tolvaran::markdown
