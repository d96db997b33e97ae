// Watches Run Auto from the GUI thread: every picture put into the picture
// area is one frame shown (the same picture may come back unchanged). Timers fire while the runner waits and between
// frames, where the window's state is consistent.
#pragma once

#include "support/vraxgui_test_access.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <functional>

struct RunAutoWatcher
{
    VRAXGUITestAccess &access;
    int framesShown = 0;
    int framesWanted;
    std::function<void(int)> onFrame; // called with the number of frames shown so far
    std::function<void()> stop;       // called once framesWanted frames were shown
    std::uint64_t lastCount = 0;
    QTimer timer;

    RunAutoWatcher(VRAXGUITestAccess &access, int framesWanted, std::function<void()> stop,
                   std::function<void(int)> onFrame = nullptr)
        : access(access), framesWanted(framesWanted), onFrame(std::move(onFrame)), stop(std::move(stop))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { sample(); });
        timer.start(1);
    }

    void sample()
    {
        if (access.framesShown() == lastCount)
            return;
        lastCount = access.framesShown();
        ++framesShown;
        if (onFrame)
            onFrame(framesShown);
        if (framesShown == framesWanted && stop)
            stop();
    }
};
