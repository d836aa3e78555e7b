#include "support/BenchFigures.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace tolvaran::fixtures::bench {

const char *const sameThreadRowsQuery =
    "SELECT id, rollout_path, cwd, title, preview, updated_at, updated_at_ms, recency_at, "
    "recency_at_ms, created_at, created_at_ms, archived, git_branch, git_origin_url, "
    "tokens_used, model, name, project_id FROM threads ORDER BY updated_at_ms DESC";

double milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto index = std::min(samples.size() - 1, size_t(fraction * double(samples.size())));
    return samples[index];
}

double median(int count, const std::function<double()> &sample)
{
    std::vector<double> samples;
    for (int i = 0; i < count; ++i)
        samples.push_back(sample());
    return percentile(std::move(samples), 0.5);
}

double sqliteToolMilliseconds(const QString &databasePath)
{
    return milliseconds([&] {
        QProcess tool;
        tool.setStandardOutputFile(QProcess::nullDevice());
        const QString query = QString::fromLatin1(sameThreadRowsQuery);
        tool.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), databasePath, query});
        if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
            std::fprintf(stderr, "sqlite3 failed: %s\n", qPrintable(tool.errorString()));
    });
}

} // namespace tolvaran::fixtures::bench
