#pragma once

#include <QString>

namespace tolvaran::markdown {

// The identifier of a heading: `text` split at every character that is not a Unicode letter,
// mark or digit (each such character is one separator, so neighbours give empty pieces),
// each piece lower-cased, the pieces joined with "-". "Hello, World!" gives "hello--world-".
QString kebabCased(const QString &text);

} // namespace tolvaran::markdown
