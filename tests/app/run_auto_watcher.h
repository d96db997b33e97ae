// Watches Run Auto from the GUI thread: counts the frames the window shows,
// as it announces them once each is on screen and its state is consistent.
#pragma once

#include "window_view.h"

#include <QObject>
#include <QtTest>

#include <functional>

struct RunAutoWatcher
{
    int framesShown = 0;
    QMetaObject::Connection connection;

    // Calls onFrame after each frame with the number shown so far, and stop
    // once framesWanted were shown (by default space, as the user presses it).
    RunAutoWatcher(VRAXGUI &window, int framesWanted, std::function<void()> stop = nullptr,
                   std::function<void(int)> onFrame = nullptr)
    {
        connection = QObject::connect(&window, &VRAXGUI::frameShown, [this, &window, framesWanted, stop, onFrame] {
            ++framesShown;
            if (onFrame)
                onFrame(framesShown);
            if (framesShown == framesWanted)
                stop ? stop() : QTest::keyClick(&window, Qt::Key_Space);
        });
    }
    ~RunAutoWatcher() { QObject::disconnect(connection); }
};

// Runs Run Auto from its menu entry, watched as above, until it has ended;
// returns the number of frames shown.
inline int runAutoFor(VRAXGUI &window, int framesWanted, std::function<void()> stop = nullptr,
                      std::function<void(int)> onFrame = nullptr)
{
    const RunAutoWatcher watcher(window, framesWanted, std::move(stop), std::move(onFrame));
    const WindowView view{window};
    view.entry(QStringLiteral("Run &Auto (space to abort)"))->trigger();
    view.settle();
    return watcher.framesShown;
}
