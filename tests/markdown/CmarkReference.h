#pragma once

#include <QString>

namespace tolvaran::markdown::testsupport {

// The library's own rendering of a text, parsed with the same options and extensions as the
// Markdown library uses and written straight from the library's tree: the reference that the
// node model's round trip is held against.
QString referenceHTML(const QString &markdown);

} // namespace tolvaran::markdown::testsupport
