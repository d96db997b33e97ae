// Watches Run Auto from the GUI thread: counts the frames the window shows,
// as it announces them once each is on screen and its state is consistent.
#pragma once

#include "support/vraxgui_test_access.h"

#include <QObject>

#include <functional>

struct RunAutoWatcher
{
    VRAXGUITestAccess &access;
    int framesShown = 0;
    int framesWanted;
    std::function<void(int)> onFrame; // called with the number of frames shown so far
    std::function<void()> stop;       // called once framesWanted frames were shown
    QMetaObject::Connection connection;

    RunAutoWatcher(VRAXGUITestAccess &access, int framesWanted, std::function<void()> stop,
                   std::function<void(int)> onFrame = nullptr)
        : access(access), framesWanted(framesWanted), onFrame(std::move(onFrame)), stop(std::move(stop))
    {
        connection = QObject::connect(&access.window, &VRAXGUI::frameShown, [this] { sample(); });
    }
    ~RunAutoWatcher() { QObject::disconnect(connection); }

    void sample()
    {
        ++framesShown;
        if (onFrame)
            onFrame(framesShown);
        if (framesShown == framesWanted && stop)
            stop();
    }
};
