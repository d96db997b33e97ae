#include "app/background_runner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <exception>
#include <thread>

void runInBackground(BackgroundTask task, QWidget *menuBar, QWidget *busyIndicator)
{
    std::exception_ptr failure;
    std::atomic<bool> running{true};
    // Lives on the GUI thread; the worker posts an empty call to it so that a
    // GUI thread asleep in processEvents wakes up as soon as the task ends.
    QObject wakeUpTarget;

    menuBar->setEnabled(false);
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                task();
            } catch (...) {
                failure = std::current_exception();
            }
            running.store(false);
            QMetaObject::invokeMethod(&wakeUpTarget, [] {}, Qt::QueuedConnection);
        });
    } catch (...) {
        menuBar->setEnabled(true);
        throw;
    }

    QTimer busyTimer;
    busyTimer.setSingleShot(true);
    busyTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&busyTimer, &QTimer::timeout, busyIndicator, [busyIndicator] { busyIndicator->setVisible(true); });
    busyTimer.start(busyIndicatorDelayMs);

    while (running.load())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    busyTimer.stop();
    busyIndicator->setVisible(false);
    menuBar->setEnabled(true);
    // The worker has cleared the flag; joining waits only for its last post,
    // so wakeUpTarget outlives every call made on it.
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}
