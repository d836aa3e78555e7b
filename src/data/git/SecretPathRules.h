#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran::Internal {

// The one table of what counts as a secret in a project: files that are never listed, read
// or diffed for teammates. Each rule matches one path component, case-insensitively, and a
// path is a secret when any of its components matches, so a folder whose name matches
// (".ssh", "secrets", "credentials") is left out whole, which errs on the side of showing less.
class SecretPathRules final
{
public:
    enum class Match {
        name,     // the whole component
        prefix,   // its start
        suffix,   // its end
        contains, // anywhere in it
    };
    struct Rule
    {
        Match match;
        const char *text; // lower case, no glob characters
    };

    // Whether any component of the relative path matches a rule.
    static bool matches(QStringView relativePath);

    // Pathspecs that keep every matching path out of a git command that reads files, from the
    // repository's top and at any depth.
    static QStringList exclusionPathspecs();
};

} // namespace tolvaran::Internal
