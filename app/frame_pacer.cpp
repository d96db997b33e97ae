#include "app/frame_pacer.h"

#include "sources/frame.h"

#include <QScreen>
#include <QWidget>

FramePacer::FramePacer(QWidget *window, std::function<void()> show)
    : QObject(window), window(window), show(std::move(show))
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] { showNow(); });
}

void FramePacer::frameArrived(bool everyFrame)
{
    if (!everyFrame) {
        const QScreen *screen = window->screen();
        const double refresh = screen && screen->refreshRate() > 1.0 ? screen->refreshRate() : 60.0;
        const auto interval = std::int64_t(1e9 / refresh);
        const std::int64_t now = steadyNanoseconds();
        if (now - lastShown < interval) {
            if (!timer.isActive())
                timer.start(int((interval - (now - lastShown)) / 1000000) + 1);
            return;
        }
    }
    showNow();
}

void FramePacer::stop()
{
    timer.stop();
}

void FramePacer::showNow()
{
    show();
    lastShown = steadyNanoseconds();
}
