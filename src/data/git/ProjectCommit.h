#pragma once

#include <QHashFunctions>
#include <QString>

namespace tolvaran {

// One commit of a project's recent history, as git prints it; identified by `hash`.
struct ProjectCommit
{
    QString hash;      // the full commit hash
    QString shortHash; // abbreviated as git abbreviates it
    QString date;      // the author date in git's short form (year-month-day)
    QString author;    // the author's name
    QString subject;   // the first line of the message

    friend bool operator==(const ProjectCommit &, const ProjectCommit &) = default;
};

inline size_t qHash(const ProjectCommit &commit, size_t seed = 0) noexcept
{
    return qHashMulti(seed, commit.hash, commit.shortHash, commit.date, commit.author,
                      commit.subject);
}

} // namespace tolvaran
