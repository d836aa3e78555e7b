#pragma once

#include "data/git/SharedProjectState.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace tolvaran {

// The scanned team state of one shared project, as the metadata cache keeps it.
struct LocalTeamProjectState
{
    SharedProjectState shared;
    QString workFingerprint; // 64 lower-case hex digits identifying the uncommitted work
    QString summaryEvidence; // the uncommitted change as text; empty when the tree is clean
    std::optional<QString> latestUserRequest;
    std::optional<QString> headSubject; // at most 300 characters; only when HEAD moved
    std::optional<qint64> committedAt;  // ms since 1970; only with headSubject
    bool isLocalCommit = false;

    friend bool operator==(const LocalTeamProjectState &, const LocalTeamProjectState &) = default;

    QJsonObject toJson() const;
    // Throws JsonDecodingError when a required key is missing, null or mistyped.
    static LocalTeamProjectState fromJson(const QJsonObject &object);
};

} // namespace tolvaran
