// The file-system event monitor over a generated tree of 50,000 folders: the watches it uses,
// the time it takes to set them up, and the delay from a write to its event, both after a
// quiet period (delivered at once) and within a burst (held for the latency).
#include "platform/file_events/FileSystemEventMonitor.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace tolvaran;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int projectCount = 100;
constexpr int foldersPerProject = 20;
constexpr int subfoldersPerFolder = 24; // 100 + 100 * 20 + 100 * 20 * 24 = 50,100 folders
constexpr double latency = 0.45;         // the repository monitor's
constexpr int samples = 20;
// Longer than twice the latency: the write before it has been delivered in full (its last
// change goes out a latency after its first), and a latency has passed since.
constexpr auto quietPause = std::chrono::milliseconds(1000);
constexpr auto burstPause = std::chrono::milliseconds(40);
constexpr auto deadline = std::chrono::seconds(120);

class Arrivals final
{
public:
    void record(const QList<FileSystemEvent> &batch)
    {
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        for (const FileSystemEvent &event : batch) {
            if (!m_times.contains(event.path))
                m_times.insert(event.path, now);
            if (event.flags & FileSystemEventFlag::mustScanSubDirs)
                m_rescans.push_back(now);
        }
        m_changed.notify_all();
    }

    std::optional<Clock::time_point> waitForPath(const QString &path)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, deadline, [&] { return m_times.contains(path); }))
            return std::nullopt;
        return m_times.value(path);
    }

    std::optional<Clock::time_point> waitForRescan()
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, deadline, [&] { return !m_rescans.empty(); }))
            return std::nullopt;
        return m_rescans.front();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, Clock::time_point> m_times;
    std::vector<Clock::time_point> m_rescans;
};

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Watches held by this process's inotify instances, as the kernel lists them.
int kernelWatchCount()
{
    int count = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fdinfo"));
    for (const QString &name : descriptors.entryList(QDir::Files)) {
        QFile info(descriptors.filePath(name));
        if (!info.open(QIODevice::ReadOnly))
            continue;
        count += int(info.readAll().count("inotify wd:"));
    }
    return count;
}

void printDelays(const char *what, std::vector<double> delays)
{
    std::sort(delays.begin(), delays.end());
    std::printf("%-44s median %8.1f ms   max %8.1f ms   (%zu writes)\n", what,
                delays[delays.size() / 2], delays.back(), delays.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const fixtures::TemporaryHome home;
    const QString root = home.filePath(QStringLiteral("projects"));

    auto started = Clock::now();
    int folders = 0;
    QStringList leaves;
    for (int project = 0; project < projectCount; ++project) {
        for (int folder = 0; folder < foldersPerProject; ++folder) {
            for (int sub = 0; sub < subfoldersPerFolder; ++sub) {
                const QString path = QStringLiteral("%1/p%2/d%3/s%4")
                                         .arg(root, QString::number(project),
                                              QString::number(folder), QString::number(sub));
                QDir().mkpath(path);
                leaves.append(path);
                ++folders;
            }
            ++folders;
        }
        ++folders;
    }
    std::printf("generated tree: %d folders in %.0f ms\n", folders,
                milliseconds(Clock::now() - started));

    Arrivals arrivals;
    FileSystemEventMonitor monitor(QStringLiteral("com.ostvik.tolvaran.repository-events"),
                                   [&](const QList<FileSystemEvent> &batch) {
                                       arrivals.record(batch);
                                   });
    // A start since a stored id reports its rescan request once every watch is in place, which
    // marks the end of the set-up.
    started = Clock::now();
    monitor.start({root}, 1, latency);
    const auto ready = arrivals.waitForRescan();
    if (!ready) {
        std::printf("the monitor never finished setting up\n");
        return 1;
    }
    std::printf("watch set-up: %.0f ms\n", milliseconds(*ready - started));
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    const QByteArray userLimit =
        limit.open(QIODevice::ReadOnly) ? limit.readAll().trimmed() : QByteArray("unknown");
    std::printf("watches used: %d (as the kernel lists them; user limit %s)\n",
                kernelWatchCount(), userLimit.constData());

    QRandomGenerator random(70);
    auto writeAndTime = [&](int index, std::vector<double> &delays) {
        const QString path = leaves.at(random.bounded(int(leaves.size())))
            + QStringLiteral("/file-%1.txt").arg(index);
        const auto written = Clock::now();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
            return false;
        file.close();
        const auto arrived = arrivals.waitForPath(path);
        if (!arrived)
            return false;
        delays.push_back(milliseconds(*arrived - written));
        return true;
    };

    std::vector<double> quiet;
    for (int index = 0; index < samples; ++index) {
        std::this_thread::sleep_for(quietPause);
        if (!writeAndTime(index, quiet)) {
            std::printf("a write's event never arrived\n");
            return 1;
        }
    }
    // A burst: writes 40 ms apart, without waiting for each; the first opens a batch, the
    // others wait for the latency.
    std::vector<double> burst;
    {
        std::vector<std::pair<QString, Clock::time_point>> written;
        for (int index = 0; index < samples; ++index) {
            const QString path = leaves.at(random.bounded(int(leaves.size())))
                + QStringLiteral("/burst-%1.txt").arg(index);
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
            written.emplace_back(path, Clock::now());
            std::this_thread::sleep_for(burstPause);
        }
        for (const auto &[path, time] : written) {
            const auto arrived = arrivals.waitForPath(path);
            if (arrived)
                burst.push_back(milliseconds(*arrived - time));
        }
    }
    printDelays("write to event, after a quiet period:", quiet);
    printDelays("write to event, within a burst:", burst);
    std::printf("reference: latency setting %.0f ms; a quiet write is delivered at once, a "
                "burst's writes within the latency\n", latency * 1000);

    started = Clock::now();
    monitor.stop();
    std::printf("stop (all watches released): %.1f ms, kernel count after: %d\n",
                milliseconds(Clock::now() - started), kernelWatchCount());
    return 0;
}
