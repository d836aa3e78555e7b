#include "coordinator/actions/CodexProjectRenameError.h"
#include "data/catalog/ProjectCatalogError.h"
#include "data/catalog/ProjectTagError.h"
#include "data/codex/CodexGlobalStateStoreError.h"
#include "data/codex/CodexStoreError.h"
#include "data/token_usage/TokenUsageError.h"
#include "remote_image/RemoteImageError.h"
#include "team/server/TeamServiceError.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamTransportError.h"
#include "team/wire/TeamWireError.h"
#include "update/AppUpdateError.h"

#include <gtest/gtest.h>

#include <QList>

#include <functional>

using namespace tolvaran;

namespace {

// The kinds of an enum whose values run from 0 to `last` (none of ours gives values).
template <typename Kind>
QList<Kind> kindsUpTo(Kind last)
{
    QList<Kind> kinds;
    for (int value = 0; value <= int(last); ++value)
        kinds.append(Kind(value));
    return kinds;
}

// Every kind of one error type, checked alone and with a detail.
struct ErrorTypeRow
{
    const char *name;
    std::function<void()> check;
};

template <typename ErrorType>
void checkEveryKind(typename ErrorType::Kind last)
{
    for (const auto kind : kindsUpTo(last)) {
        SCOPED_TRACE(int(kind));
        const ErrorType error(kind);
        EXPECT_EQ(error.kind(), kind);
        EXPECT_FALSE(error.message().trimmed().isEmpty());
        EXPECT_EQ(error.message(), errorMessage(kind));
        EXPECT_EQ(QString::fromUtf8(error.what()), error.message());
        EXPECT_EQ(messageOf(error), error.message());
        EXPECT_TRUE(error.detail().isEmpty());
        EXPECT_EQ(error, ErrorType(kind));
    }
}

// For the types whose kinds may carry a detail: the detail is kept as given, the message is
// the sentence made with it, and a different detail makes a different error.
template <typename ErrorType>
void checkEveryKindWithDetail(typename ErrorType::Kind last)
{
    checkEveryKind<ErrorType>(last);
    const QString detail = QStringLiteral("Åse's file %1 at 50%");
    for (const auto kind : kindsUpTo(last)) {
        SCOPED_TRACE(int(kind));
        const ErrorType error(kind, detail);
        EXPECT_EQ(error.kind(), kind);
        EXPECT_EQ(error.detail(), detail);
        EXPECT_EQ(error.message(), errorMessage(kind, detail));
        EXPECT_FALSE(error.message().trimmed().isEmpty());
        EXPECT_EQ(QString::fromUtf8(error.what()), error.message());
        EXPECT_NE(error, ErrorType(kind, detail + QLatin1Char('!')));
    }
}

} // namespace

TEST(KindError, everyKindOfEveryErrorHasItsOwnSentenceAndGivesItsKindBack)
{
    const QList<ErrorTypeRow> rows{
        {"CodexGlobalStateStoreError",
         [] {
             checkEveryKindWithDetail<CodexGlobalStateStoreError>(
                 CodexGlobalStateStoreErrorKind::stateChangedDuringUpdate);
         }},
        {"CodexStoreError",
         [] { checkEveryKindWithDetail<CodexStoreError>(CodexStoreErrorKind::readFailed); }},
        {"CodexProjectRenameError",
         [] {
             checkEveryKind<CodexProjectRenameError>(
                 CodexProjectRenameErrorKind::renameInProgress);
         }},
        {"ProjectCatalogError",
         [] {
             checkEveryKind<ProjectCatalogError>(ProjectCatalogErrorKind::databaseWriteFailed);
         }},
        {"ProjectTagError",
         [] { checkEveryKind<ProjectTagError>(ProjectTagErrorKind::storageFailure); }},
        {"TokenUsageError",
         [] { checkEveryKind<TokenUsageError>(TokenUsageErrorKind::folderCreationFailed); }},
        {"TeamServiceError",
         [] {
             checkEveryKindWithDetail<TeamServiceError>(TeamServiceErrorKind::invalidDeviceID);
         }},
        {"TeamSettingsError",
         [] { checkEveryKind<TeamSettingsError>(TeamSettingsErrorKind::alreadyMember); }},
        {"TeamTransportError",
         [] { checkEveryKind<TeamTransportError>(TeamTransportErrorKind::cancelled); }},
        {"TeamWireError",
         [] { checkEveryKindWithDetail<TeamWireError>(TeamWireErrorKind::unencodable); }},
        {"AppUpdateError",
         [] { checkEveryKindWithDetail<AppUpdateError>(AppUpdateErrorKind::system); }},
    };
    for (const ErrorTypeRow &row : rows) {
        SCOPED_TRACE(row.name);
        row.check();
    }
}

TEST(KindError, aDetailIsKeptWordForWordInTheSentenceOfItsKind)
{
    struct Row
    {
        const char *what;
        Error error;
        const char *expected;
    };
    const QString awkward = QStringLiteral("%1 and %2 stay as written");
    const QList<Row> rows{
        {"database path", CodexStoreError(CodexStoreErrorKind::databaseMissing, "/h/state.db"),
         "Codex database was not found at /h/state.db."},
        {"SQLite message", CodexStoreError(CodexStoreErrorKind::openFailed, "disk I/O error"),
         "Could not open Codex database: disk I/O error"},
        {"global state cause",
         CodexGlobalStateStoreError(CodexGlobalStateStoreErrorKind::readFailed, awkward),
         "Could not read Codex global state: %1 and %2 stay as written"},
        {"a kind that carries none ignores it",
         CodexGlobalStateStoreError(CodexGlobalStateStoreErrorKind::invalidJSON, "ignored"),
         "Codex global state is not a JSON object."},
        {"server's sentence", TeamServiceError(TeamServiceErrorKind::serverMessage, awkward),
         "%1 and %2 stay as written"},
        {"wire: malformed", TeamWireError(TeamWireErrorKind::malformed, "a stray byte at byte 7"),
         "The team message is not valid JSON: a stray byte at byte 7."},
        {"wire: member", TeamWireError(TeamWireErrorKind::invalidRecord, "\"name\" is missing"),
         "The value for \"name\" is missing."},
        {"wire: limit", TeamWireError(TeamWireErrorKind::limitExceeded, awkward),
         "The team message is too large: %1 and %2 stay as written."},
        {"tool output, trimmed",
         AppUpdateError(AppUpdateErrorKind::commandFailed, "\n tar: broken \n"), "tar: broken"},
        {"blank tool output",
         AppUpdateError(AppUpdateErrorKind::commandFailed, " \n"),
         "The update installer could not prepare the app."},
        {"blank system sentence", AppUpdateError(AppUpdateErrorKind::system, QString()),
         "The update could not be installed."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.error.message(), QString::fromUtf8(row.expected));
        EXPECT_STREQ(row.error.what(), row.expected);
    }
}

TEST(KindError, aSubclassKeepsWhatItAddsBesideTheShape)
{
    const TeamTransportError error(TeamTransportErrorKind::timedOut,
                                   QNetworkReply::OperationCanceledError);
    EXPECT_EQ(error.kind(), TeamTransportErrorKind::timedOut);
    EXPECT_EQ(error.networkError(), QNetworkReply::OperationCanceledError);
    EXPECT_EQ(error.message(), "The team server did not answer in time.");
}

TEST(KindError, anImageErrorHasTheSameShapeAsAValue)
{
    using markdown::RemoteImageError;
    using markdown::RemoteImageErrorKind;
    for (const auto kind : kindsUpTo(RemoteImageErrorKind::abandoned)) {
        SCOPED_TRACE(int(kind));
        const RemoteImageError error(kind);
        EXPECT_EQ(error.kind(), kind);
        EXPECT_FALSE(error.message().isEmpty());
        EXPECT_EQ(error.message(), markdown::errorMessage(kind));
    }
    EXPECT_EQ(RemoteImageError(RemoteImageErrorKind::transferFailed, "timed out").message(),
              "The image could not be downloaded: timed out");
    EXPECT_EQ(RemoteImageError(RemoteImageErrorKind::transferFailed).message(),
              "The image could not be downloaded.");
}
