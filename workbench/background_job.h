// Long work off the GUI thread: one piece of work at a time on a worker
// thread, its end reported on the owner's thread by a queued call. Nothing
// waits for it in an event loop; the owner learns of the end as of any other
// event.
#pragma once

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

class BackgroundJob
{
public:
    using Work = std::function<void()>;
    // The work's exception, or null when it ended normally.
    using Done = std::function<void(std::exception_ptr failure)>;

    // done runs on owner's thread; owner outlives the job.
    explicit BackgroundJob(QObject *owner);
    BackgroundJob(const BackgroundJob &) = delete;
    BackgroundJob &operator=(const BackgroundJob &) = delete;
    ~BackgroundJob();

    // Starts work on a new worker thread; done runs once it has ended. One
    // job at a time: call from the owner's thread while none runs (done may
    // start the next one).
    void start(Work work, Done done);
    // From start() until done has been called.
    bool isRunning() const { return running; }
    // Waits for the work to end and drops its done: for shutting down.
    void abandon();

private:
    QObject *const owner;
    std::thread worker;
    bool running = false;
    // Cleared by abandon(): a done call already queued then does nothing.
    std::shared_ptr<std::atomic<bool>> wanted;
};
