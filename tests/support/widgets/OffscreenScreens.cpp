#include "support/widgets/OffscreenScreens.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QTemporaryDir>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tolvaran::fixtures {

using namespace Qt::StringLiterals;

namespace {

// Each child runs a whole test of its own (a world, a window, many dialogs) on a loaded
// machine: generous, and below CTest's limit for the test that started them.
constexpr int childDeadlineMilliseconds = 240'000;

// Set in the children's environment: a child that still sees too few screens (its
// configuration not taken) fails rather than starting children of its own, each of which
// would do the same.
constexpr char childMark[] = "TOLVARAN_TEST_ON_CONFIGURED_SCREENS";

// The offscreen platform's configuration of `screens`, each named by its place in the list,
// the empty ones left out.
QJsonObject configuration(const QList<QRect> &screens)
{
    QJsonArray listed;
    for (qsizetype index = 0; index < screens.size(); ++index) {
        const QRect &area = screens.at(index);
        if (area.isEmpty())
            continue;
        listed.append(QJsonObject{{u"name"_s, QStringLiteral("screen-%1").arg(index)},
                                  {u"x"_s, area.x()},
                                  {u"y"_s, area.y()},
                                  {u"width"_s, area.width()},
                                  {u"height"_s, area.height()}});
    }
    return QJsonObject{{u"screens"_s, listed}};
}

// Writes the offscreen platform's configuration of `screens` to `path`.
void writeConfiguration(const QString &path, const QList<QRect> &screens)
{
    const QByteArray json = QJsonDocument(configuration(screens)).toJson();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
        throw std::runtime_error("could not write " + path.toStdString());
}

// Whether the child ran the test and it passed: a filter that matches nothing passes too.
bool ranAndPassed(const QProcess &child, const QString &report)
{
    QFile written(report);
    const QJsonObject counts = written.open(QIODevice::ReadOnly)
                                   ? QJsonDocument::fromJson(written.readAll()).object()
                                   : QJsonObject();
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
        && counts.value(u"tests"_s).toInt() == 1 && counts.value(u"failures"_s).toInt() == 0;
}

} // namespace

QList<bool> runCurrentTestOnScreens(const QList<QList<QRect>> &arrangements)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (qEnvironmentVariableIsSet(childMark)) {
        ADD_FAILURE() << "started on the screens of " << qgetenv("QT_QPA_PLATFORM").toStdString()
                      << ", this program has " << QGuiApplication::screens().size()
                      << " screens: the offscreen platform did not take that configuration";
        return QList<bool>(arrangements.size(), false);
    }
    const QString filter = QStringLiteral("--gtest_filter=%1.%2")
                               .arg(QLatin1String(test->test_suite_name()),
                                    QLatin1String(test->name()));
    const QTemporaryDir folder;
    const auto fileOf = [&folder](const QString &kind, qsizetype index) {
        return folder.filePath(QStringLiteral("%1-%2.json").arg(kind).arg(index));
    };
    std::vector<std::unique_ptr<QProcess>> children;
    for (qsizetype index = 0; index < arrangements.size(); ++index) {
        const QString screens = fileOf(u"screens"_s, index);
        writeConfiguration(screens, arrangements.at(index));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen:configfile="_s + screens);
        environment.insert(QLatin1String(childMark), u"1"_s);
        auto &child = children.emplace_back(std::make_unique<QProcess>());
        child->setProcessChannelMode(QProcess::ForwardedChannels);
        child->setProcessEnvironment(environment);
        child->start(QCoreApplication::applicationFilePath(),
                     {filter, u"--gtest_output=json:"_s + fileOf(u"report"_s, index)});
    }
    const QDeadlineTimer deadline(childDeadlineMilliseconds);
    QList<bool> passed;
    for (qsizetype index = 0; index < arrangements.size(); ++index) {
        QProcess &child = *children.at(std::size_t(index));
        if (!child.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())))) {
            child.kill();
            child.waitForFinished(-1);
        }
        passed << ranAndPassed(child, fileOf(u"report"_s, index));
    }
    return passed;
}

void changeOffscreenScreens(const QList<QRect> &screens)
{
    // The offscreen platform's own way to change its screens while it runs.
    QPlatformNativeInterface *platform = QGuiApplication::platformNativeInterface();
    using SetConfiguration = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    const auto set = reinterpret_cast<SetConfiguration>(
        platform->nativeResourceForIntegration("setConfiguration"));
    if (!set)
        throw std::runtime_error("the offscreen platform changes no screens here");
    set(configuration(screens), platform);
    QWindowSystemInterface::flushWindowSystemEvents();
}

void setOffscreenFreeArea(QScreen *screen, const QRect &available)
{
    QWindowSystemInterface::handleScreenGeometryChange(screen, screen->geometry(), available);
    QWindowSystemInterface::flushWindowSystemEvents();
}

} // namespace tolvaran::fixtures
