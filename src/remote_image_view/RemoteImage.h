#pragma once

#include "remote_image/ImageSource.h"

#include <QWidget>

#include <optional>

namespace tolvaran::markdown {

class RemoteImageLoader;
class RemoteImageModel;

// Shows an image loaded from a URL at its natural size in points, never wider than the room
// it is given (narrower room shrinks it with its proportions kept). The load starts when the
// widget is first shown and whenever its source changes after that; until an image has
// loaded, and after a source fails to load, the widget shows `emptyContent`. Once drawn, it
// keeps the picture's pixels at the size it is drawn at in device pixels, and keeps the
// picture when loading it again at another size fails (see RemoteImageModel).
class RemoteImage final : public QWidget
{
    Q_OBJECT

public:
    enum class EmptyContent {
        nothing,     // takes no room at all
        placeholder, // a plain placeholder over the room it is given
    };

    // No source when `url` is empty. Loads nothing yet.
    RemoteImage(const QUrl &url, qreal scale, EmptyContent emptyContent,
                QWidget *parent = nullptr);
    ~RemoteImage() override;

    void setSource(const QUrl &url, qreal scale);
    // None (the default) stands for the shared loader; see RemoteImageModel.
    void setImageLoader(RemoteImageLoader *loader);
    void setImageBaseURL(const QUrl &url);

    const RemoteImageModel &model() const { return *m_model; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The image's ideal size when one has loaded, else none.
    std::optional<QSizeF> idealSize() const;
    void imageChanged();

    RemoteImageModel *const m_model;
    std::optional<ImageSource> m_source;
    const EmptyContent m_emptyContent;
};

} // namespace tolvaran::markdown
