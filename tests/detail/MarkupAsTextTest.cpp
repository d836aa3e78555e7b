// Text from outside (Codex's files, git, the file system, teammates) shows in the detail pane
// and its Markdown file list as the characters it holds, never read as markup.
#include "detail/DetailHeader.h"
#include "detail/DetailStatusBanner.h"
#include "detail/ProjectOverview.h"
#include "detail/sections/BehindWarning.h"
#include "detail/sections/ChangedFileList.h"
#include "detail/sections/CommitList.h"
#include "detail/sections/MarkdownFileBrowser.h"
#include "detail/sections/RecentChatList.h"
#include "detail/sections/SharedWithTeamSection.h"
#include "detail/sections/TeamActivitySection.h"
#include "detail/sections/TeamUsageSection.h"
#include "support/widgets/ShownText.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const Timestamp now = Timestamp::fromSeconds(1'767'607'200);

CodexProject projectWith(const CodexThread &thread)
{
    return CodexProject(QStringLiteral("/work/alpha"), {thread}, false, {}, {});
}

CodexThread chat()
{
    CodexThread thread;
    thread.id = QStringLiteral("t1");
    thread.cwd = QStringLiteral("/work/alpha");
    thread.title = QStringLiteral("Chat");
    thread.updatedAt = now;
    thread.recencyAt = now;
    thread.createdAt = now;
    return thread;
}

// The Overview's tiles for a repository that `edit` describes.
MarkupPlace overview(const char *name,
                     std::function<void(ProjectGitStatus &, const QString &)> edit)
{
    return {name, [edit](QWidget &host, const QString &typed) {
                ProjectGitStatus status;
                status.isRepository = true;
                status.branch = QStringLiteral("main");
                edit(status, typed);
                auto *tiles = new ProjectOverview(&host);
                tiles->setMetrics(overviewMetrics(projectWith(chat()), status, now, QLocale()));
            }};
}

TeamProjectPeer teammate(const QString &name)
{
    TeamProjectPeer peer;
    peer.deviceId = QStringLiteral("laptop");
    peer.memberName = name;
    peer.conflictLevel = TeamConflictLevel::high;
    peer.serverUpdatedAt = now;
    return peer;
}

// The team activity of one teammate that `edit` describes.
MarkupPlace activity(const char *name,
                     std::function<void(TeamProjectPeer &, const QString &)> edit)
{
    return {name, [edit](QWidget &host, const QString &typed) {
                TeamProjectPeer peer = teammate(QStringLiteral("Grace"));
                edit(peer, typed);
                (new TeamActivitySection(&host))->setSummary({{peer}}, now);
            }};
}

} // namespace

TEST(MarkupAsTextInTheDetailPane, everyPlaceShowsOutsideTextAsTyped)
{
    const QList<MarkupPlace> places{
        {"the project's name and path in the header",
         [](QWidget &host, const QString &typed) {
             (new DetailHeader(&host))->setProject(typed, QStringLiteral("/work/") + typed);
         }},
        overview("the branch in the Overview",
                 [](ProjectGitStatus &status, const QString &typed) { status.branch = typed; }),
        {"the branch Codex recorded for a chat, in the Overview",
         [](QWidget &host, const QString &typed) {
             CodexThread thread = chat();
             thread.gitBranch = typed;
             (new ProjectOverview(&host))
                 ->setMetrics(overviewMetrics(projectWith(thread), std::nullopt, now, QLocale()));
         }},
        {"the upstream in the behind warning",
         [](QWidget &host, const QString &typed) {
             ProjectGitStatus status;
             status.upstream = typed;
             status.behindCount = 3;
             (new BehindWarning(&host))->setStatus(status);
         }},
        {"a chat's title and latest request",
         [](QWidget &host, const QString &typed) {
             CodexThread thread = chat();
             thread.title = typed;
             thread.latestUserMessage = typed;
             (new RecentChatList(&host))->setProject(projectWith(thread), now);
         }},
        {"a commit's subject and author",
         [](QWidget &host, const QString &typed) {
             (new CommitList(&host))
                 ->setCommits(QList<ProjectCommit>{{QStringLiteral("abcdef1234"),
                                                    QStringLiteral("abcdef1"),
                                                    QStringLiteral("2026-01-05"), typed, typed}},
                              false);
         }},
        {"a changed file",
         [](QWidget &host, const QString &typed) {
             (new ChangedFileList(&host))->setFiles({typed, QStringLiteral("b.cpp")});
         }},
        {"a failure in the status banner",
         [](QWidget &host, const QString &typed) {
             (new DetailStatusBanner(&host))->setMessage(typed);
         }},
        {"what this device shares",
         [](QWidget &host, const QString &typed) {
             SharedProjectState state;
             state.workSummary = typed;
             state.changedFiles = {typed};
             (new SharedWithTeamSection(&host))->setActivity(state);
         }},
        activity("a teammate's name",
                 [](TeamProjectPeer &peer, const QString &typed) { peer.memberName = typed; }),
        activity("a teammate's branch, work and files",
                 [](TeamProjectPeer &peer, const QString &typed) {
                     peer.project.branch = typed;
                     peer.project.workSummary = typed;
                     peer.project.changedFiles = {typed};
                 }),
        activity("a file both changed",
                 [](TeamProjectPeer &peer, const QString &typed) {
                     peer.project.changedFiles = {typed};
                     peer.overlappingFiles = {typed};
                 }),
        {"a teammate's usage",
         [](QWidget &host, const QString &typed) {
             TeamProjectUsageMember member;
             member.memberName = typed;
             (new TeamUsageSection(&host))->setSummary({{member}});
         }},
    };
    expectEveryPlaceShowsAsTyped(places);
}

TEST(MarkupAsTextInTheMarkdownFileList, aFilesPathShowsAsTypedInItsRowTooltipAndTitle)
{
    expectEveryPlaceShowsAsTyped({
        {"a listed file, chosen",
         [](QWidget &host, const QString &typed) {
             // Never read: the browser is not shown, so no preview is loaded.
             (new MarkdownFileBrowser(&host))
                 ->setFiles(QList<ProjectMarkdownFile>{{QStringLiteral("/work/alpha/") + typed,
                                                        typed}},
                            false);
         }},
    });
}
