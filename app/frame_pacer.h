// Run Auto at the screen's pace: the window draws the newest finished frame
// at most once per screen refresh; frames that arrive in between are counted
// but not drawn. With every frame to be shown, each is drawn as it comes.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

class QWidget;

class FramePacer : public QObject
{
public:
    // show draws the newest frame; window gives the screen's refresh rate.
    FramePacer(QWidget *window, std::function<void()> show);

    // A frame has arrived: shown now, or at the next refresh.
    void frameArrived(bool everyFrame);
    // Forgets a pending refresh (the run has ended).
    void stop();

private:
    void showNow();

    QWidget *const window;
    const std::function<void()> show;
    QTimer timer;
    std::int64_t lastShown = 0; // steady clock, ns
};
