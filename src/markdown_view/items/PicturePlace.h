#pragma once

namespace tolvaran::markdown {

// A place of the document where a picture shows, or will once it arrives: the view tells it
// whether it shows that place (DocumentLayout::markPicturesInView), so that its load, while in
// flight, goes before those of pictures out of view.
class PicturePlace
{
public:
    // Told at each paint while the view shows the place, also while the picture takes no room,
    // and once when it no longer does (scrolled away, the view hidden).
    virtual void setInView(bool inView) = 0;

protected:
    ~PicturePlace() = default;
};

} // namespace tolvaran::markdown
