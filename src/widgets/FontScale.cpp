#include "widgets/FontScale.h"

#include "widgets/ScaledFont.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <utility>
#include <vector>

namespace tolvaran {

namespace Internal {

// Watches the application font from the first use on (one filter on the application object,
// which sees the font change of every window): sets the scaled fonts again and runs the
// followers. It lives as a child of the application.
class FontScaleWatcher final : public QObject
{
public:
    static FontScaleWatcher *instance()
    {
        static QPointer<FontScaleWatcher> watcher;
        if (!watcher && qApp) {
            watcher = new FontScaleWatcher(qApp);
            qApp->installEventFilter(watcher);
        }
        return watcher;
    }

    void add(QObject *context, std::function<void()> apply)
    {
        // Followers of objects that are gone are dropped now and then, so that screens made
        // and closed all day leave nothing behind.
        if (m_followers.size() >= 2 * m_liveAfterPrune + 64)
            prune();
        m_followers.emplace_back(context, std::move(apply));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The application hears of QApplication::setFont; a desktop that changes its theme
        // tells the windows, and may change the application font with it.
        const QEvent::Type type = event->type();
        if ((type == QEvent::ApplicationFontChange && watched == qApp)
            || type == QEvent::ThemeChange) {
            if (QApplication::font() != m_font) {
                m_font = QApplication::font();
                applyAll();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    explicit FontScaleWatcher(QObject *parent)
        : QObject(parent)
        , m_font(QApplication::font())
    {
    }

    void applyAll()
    {
        // Fonts first, so that the followers size what holds text from the new fonts.
        const QWidgetList widgets = QApplication::allWidgets();
        for (QWidget *widget : widgets) {
            const QVariant design = widget->property(scaledFontProperty);
            if (design.isValid())
                widget->setFont(design.value<ScaledFont>().font());
        }
        prune();
        // A follower may add followers; those already ran once and are not run again here.
        const std::size_t count = m_followers.size();
        for (std::size_t index = 0; index < count; ++index) {
            if (m_followers[index].first)
                m_followers[index].second();
        }
    }

    void prune()
    {
        std::erase_if(m_followers, [](const auto &follower) { return !follower.first; });
        m_liveAfterPrune = m_followers.size();
    }

    QFont m_font;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_followers;
    std::size_t m_liveAfterPrune = 0;
};

void watchApplicationFont()
{
    FontScaleWatcher::instance();
}

} // namespace Internal

namespace FontScale {

namespace {
// The default font's height in pixels: 9 points at 96 dots per inch.
constexpr double defaultPixelSize = defaultPointSize * 96.0 / 72.0;
} // namespace

double factor()
{
    const QFont font = QGuiApplication::font();
    double pixels = font.pixelSize();
    if (font.pointSizeF() > 0) {
        // Points become pixels at the screen's logical resolution, so a desktop that enlarges
        // text by its resolution (QT_FONT_DPI, Xft.dpi without scaling) is followed too.
        const QScreen *screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        pixels = font.pointSizeF() * dpi / 72.0;
    }
    return pixels > 0 ? pixels / defaultPixelSize : 1.0;
}

int scaled(int designPixels)
{
    return int(std::lround(designPixels * factor()));
}

double scaled(double designPixels)
{
    return designPixels * factor();
}

void follow(QObject *context, std::function<void()> apply)
{
    apply();
    if (Internal::FontScaleWatcher *watcher = Internal::FontScaleWatcher::instance())
        watcher->add(context, std::move(apply));
}

} // namespace FontScale

} // namespace tolvaran
