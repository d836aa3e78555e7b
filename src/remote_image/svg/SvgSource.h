#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageError.h"
#include "remote_image/svg/SvgReadingWork.h"

#include <QByteArray>
#include <QList>
#include <QSizeF>

#include <stop_token>
#include <variant>

namespace tolvaran::markdown {

// The text of an SVG file, made safe to hand to Qt's SVG renderer, which would otherwise:
// - inflate a compressed file without any limit (a few kilobytes become gigabytes);
// - read any file a document names, and wait without end on a pipe or a device: the style
//   sheet of an `xml-stylesheet` instruction, the picture of an image element;
// - draw an SVG embedded as a picture on its own, outside any budget;
// - do work of its own before any of the document is drawn, beyond any budget: gradients of
//   many stops, text in many scripts, style rules for every element, pictures of many bytes
//   (SvgReadingWork, counted here at the least it takes, and refused only past what decoding
//   one picture may take, RemoteImageDecodeLimits::readingBudget).
// So a compressed file is inflated here up to maximumTextBytes, and the document is read and
// written again with only what may reach the renderer: its elements, their attributes and
// their text, a style element's rules without `@import` (SvgStyleSheet); no instruction,
// document type, entity or comment (the entities that the document declares expanded in place,
// as Qt's reader expands them). A reference (`href`) may only name something of the document
// itself (`#id`), but an image element's names a data address, of a picture checked here: a
// raster picture of a format decoded here, checked as Qt's own readers would decode it, all
// within the limits together (RasterBounds: Qt's PNG reader, for one, would inflate a PNG's
// data past its last row); or an SVG, read and written again as its document is, its work
// added to its document's, and kept aside so that its drawing is charged with its document's
// (SvgRasterizer). Each is written again as the bytes that were checked, and an image element
// whose picture no reader takes is left out, as Qt's renderer leaves it out.
struct SvgSource final
{
    // The most SVG text that is read, compressed files inflated, and written again.
    static constexpr qsizetype maximumTextBytes = 16 * 1024 * 1024;
    // The most characters that one entity the document declares may stand for, the entities
    // it names expanded, all of its uses together within maximumTextBytes: the entities
    // drawing programs declare name namespaces, colours and styles.
    static constexpr qsizetype maximumEntityCharacters = 1024;

    // What Qt's renderer is given.
    QByteArray text;
    // The SVG pictures embedded in it, each as it is written in it.
    QList<QByteArray> embeddedDocuments;
    SvgReadingWork work;
    // The size the root element declares in pixels, roughly (for estimates only); empty when
    // it gives none that reads as a number.
    QSizeF declaredSize;

    // Checking the embedded pictures stops, abandoned, when `stop` is requested.
    static std::variant<SvgSource, RemoteImageError> read(const QByteArray &bytes,
                                                          const RemoteImageDecodeLimits &limits,
                                                          const std::stop_token &stop = {});
};

} // namespace tolvaran::markdown
