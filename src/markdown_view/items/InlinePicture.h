#pragma once

#include "markdown_view/items/PicturePlace.h"

#include <QUrl>

#include <memory>

namespace tolvaran::markdown {

class InlineImageProvider;

// A picture standing in a line of text, from the time its load is asked for: where it stands in
// the text, and the provider it loads through, which hears whether the view shows its place
// while the load is in flight (InlineImageProvider::drawing and stoppedDrawing), as the loader
// of a block picture hears it from the picture's model. Gone while in view and loading, it has
// left the view.
class InlinePicture final : public PicturePlace
{
public:
    InlinePicture(QUrl url, int position, std::shared_ptr<const InlineImageProvider> provider);
    ~InlinePicture();
    InlinePicture(const InlinePicture &) = delete;
    InlinePicture &operator=(const InlinePicture &) = delete;

    // Where it stands in the text of its item while it takes no room.
    int position() const { return m_position; }
    bool isLoading() const { return m_loading; }
    // Its load has ended, whatever came of it: the provider hears no more of it.
    void loaded() { m_loading = false; }

    void setInView(bool inView) override;

private:
    QUrl m_url;
    int m_position;
    std::shared_ptr<const InlineImageProvider> m_provider;
    bool m_loading = true;
    bool m_inView = false;
};

} // namespace tolvaran::markdown
