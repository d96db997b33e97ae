// Runs slow board work on a worker thread while the GUI thread keeps
// processing events.
#pragma once

#include <functional>

class QWidget;

// A piece of work with no arguments and no result; it may be empty.
using BackgroundTask = std::function<void()>;

// Delay after which the busy indicator appears, in milliseconds.
constexpr int busyIndicatorDelayMs = 251;

// Runs the task on a new worker thread and returns when it has ended. Meanwhile
// menuBar is disabled, busyIndicator appears once the task has taken 0.251 s,
// and the GUI thread processes events, sleeping until one arrives or the
// worker finishes. The task's exception is rethrown here after the join; an
// empty task throws std::bad_function_call. Call on the GUI thread only.
void runInBackground(BackgroundTask task, QWidget *menuBar, QWidget *busyIndicator);
