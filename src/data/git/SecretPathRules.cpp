#include "data/git/SecretPathRules.h"

#include <algorithm>
#include <array>

namespace tolvaran::Internal {

namespace {

using Match = SecretPathRules::Match;
using Rule = SecretPathRules::Rule;

constexpr std::array rules{
    // Environments: ".env", ".env.local", ".env-local", ".envrc", "prod.env".
    Rule{Match::prefix, ".env"},
    Rule{Match::suffix, ".env"},
    // SSH and other private keys, key stores and certificates with keys.
    Rule{Match::name, ".ssh"},
    Rule{Match::name, ".gnupg"},
    Rule{Match::prefix, "id_rsa"},
    Rule{Match::prefix, "id_dsa"},
    Rule{Match::prefix, "id_ecdsa"},
    Rule{Match::prefix, "id_ed25519"},
    Rule{Match::suffix, ".pem"},
    Rule{Match::suffix, ".key"},
    Rule{Match::suffix, ".p12"},
    Rule{Match::suffix, ".pfx"},
    Rule{Match::suffix, ".ppk"},
    Rule{Match::suffix, ".jks"},
    Rule{Match::suffix, ".keystore"},
    Rule{Match::name, "secring.gpg"},
    // Tool credentials and password files.
    Rule{Match::name, ".npmrc"},
    Rule{Match::name, ".pypirc"},
    Rule{Match::name, ".netrc"},
    Rule{Match::name, ".pgpass"},
    Rule{Match::name, ".htpasswd"},
    Rule{Match::name, ".git-credentials"},
    Rule{Match::name, ".docker"},
    Rule{Match::name, ".kube"},
    Rule{Match::name, ".aws"},
    Rule{Match::name, "service-account.json"},
    Rule{Match::suffix, ".tfvars"},
    Rule{Match::suffix, ".tfstate"},
    Rule{Match::contains, "credentials"},
    Rule{Match::contains, "secrets"},
};

bool componentMatches(QStringView component, const Rule &rule)
{
    const QLatin1String text(rule.text);
    switch (rule.match) {
    case Match::name:
        return component.compare(text, Qt::CaseInsensitive) == 0;
    case Match::prefix:
        return component.startsWith(text, Qt::CaseInsensitive);
    case Match::suffix:
        return component.endsWith(text, Qt::CaseInsensitive);
    case Match::contains:
        return component.contains(text, Qt::CaseInsensitive);
    }
    return true;
}

// The rule as a glob for one component.
QString componentGlob(const Rule &rule)
{
    const QString text = QString::fromLatin1(rule.text);
    switch (rule.match) {
    case Match::name:
        return text;
    case Match::prefix:
        return text + QLatin1Char('*');
    case Match::suffix:
        return QLatin1Char('*') + text;
    case Match::contains:
        return QLatin1Char('*') + text + QLatin1Char('*');
    }
    return text;
}

} // namespace

bool SecretPathRules::matches(QStringView relativePath)
{
    for (const QStringView component : relativePath.split(QLatin1Char('/'))) {
        const auto matchesComponent = [component](const Rule &rule) {
            return componentMatches(component, rule);
        };
        if (std::any_of(rules.begin(), rules.end(), matchesComponent))
            return true;
    }
    return false;
}

QStringList SecretPathRules::exclusionPathspecs()
{
    // "**/" matches no folder too, so each rule needs two pathspecs: the component as the
    // file itself, and as a folder on the way to it.
    static const QStringList pathspecs = [] {
        QStringList result;
        const QString magic = QStringLiteral(":(top,exclude,icase,glob)**/");
        for (const Rule &rule : rules) {
            const QString glob = componentGlob(rule);
            result.append(magic + glob);
            result.append(magic + glob + QStringLiteral("/**"));
        }
        return result;
    }();
    return pathspecs;
}

} // namespace tolvaran::Internal
