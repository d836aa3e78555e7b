#pragma once

#include "markdown/InlineContent.h"

#include <QString>

namespace tolvaran::markdown {

// A code span built in code: `text` exactly as given.
class Code final : public InlineContentProtocol
{
public:
    explicit Code(QString codeText);

    InlineContent inlineContent() const override;

    QString text;
};

} // namespace tolvaran::markdown
