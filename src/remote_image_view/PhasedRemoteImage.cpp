#include "remote_image_view/PhasedRemoteImage.h"

#include "remote_image/RemoteImageModel.h"

#include <QStackedLayout>

// The class is marked deprecated for its callers, not for itself.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tolvaran::markdown {

PhasedRemoteImage::PhasedRemoteImage(const QUrl &url, qreal scale, ContentFactory content,
                                     EmptyFactory placeholder, EmptyFactory fallback,
                                     QWidget *parent)
    : QWidget(parent)
    , m_model(new RemoteImageModel(this))
    , m_source(url.isEmpty() ? std::nullopt : std::optional(ImageSource{url, scale}))
    , m_content(std::move(content))
    , m_placeholder(std::move(placeholder))
    , m_fallback(std::move(fallback))
    , m_layout(new QStackedLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    connect(m_model, &RemoteImageModel::imageChanged, this, &PhasedRemoteImage::imageChanged);
    imageChanged();
}

PhasedRemoteImage::~PhasedRemoteImage() = default;

void PhasedRemoteImage::setImageLoader(RemoteImageLoader *loader)
{
    m_model->setImageLoader(loader);
}

void PhasedRemoteImage::setImageBaseURL(const QUrl &url)
{
    m_model->setImageBaseURL(url);
}

void PhasedRemoteImage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->sourceChanged(m_source);
}

void PhasedRemoteImage::imageChanged()
{
    const RemoteImageState &state = m_model->image();
    switch (state.kind()) {
    case RemoteImageState::Kind::empty:
        showPhase(m_placeholder());
        break;
    case RemoteImageState::Kind::success:
        showPhase(m_content(*state.image()));
        break;
    case RemoteImageState::Kind::failure:
        showPhase(m_fallback());
        break;
    }
}

void PhasedRemoteImage::showPhase(QWidget *widget)
{
    if (m_shown) {
        m_layout->removeWidget(m_shown);
        m_shown->deleteLater();
    }
    m_shown = widget;
    if (m_shown)
        m_layout->addWidget(m_shown);
}

} // namespace tolvaran::markdown
