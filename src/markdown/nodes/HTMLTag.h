#pragma once

#include <QString>

#include <optional>

namespace tolvaran::markdown {

// The tag of an inline HTML fragment, as far as the inline renderers care: its name.
struct HTMLTag
{
    QString name; // lower-cased; opening and closing tags give the same name

    // The first tag anywhere in `html` ("<name ...>" or "</name>"); attributes, a trailing
    // "/" and text before the tag are ignored. Absent when the text holds no tag.
    static std::optional<HTMLTag> fromFragment(const QString &html);

    friend bool operator==(const HTMLTag &, const HTMLTag &) = default;
};

} // namespace tolvaran::markdown
