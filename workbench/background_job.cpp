#include "workbench/background_job.h"

#include <stdexcept>
#include <utility>

BackgroundJob::BackgroundJob(QObject *owner) : owner(owner) {}

BackgroundJob::~BackgroundJob()
{
    abandon();
}

void BackgroundJob::start(Work work, Done done)
{
    if (running)
        throw std::logic_error("BackgroundJob: a job is running already");
    wanted = std::make_shared<std::atomic<bool>>(true);
    running = true;
    auto token = wanted;
    try {
        worker = std::thread([this, token, work = std::move(work), done = std::move(done)]() mutable {
            std::exception_ptr failure;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            // The last use of this object on the worker: the owner's thread
            // joins it before done runs.
            QMetaObject::invokeMethod(
                owner,
                [this, token, failure, done = std::move(done)] {
                    if (!token->load())
                        return;
                    worker.join();
                    running = false;
                    done(failure);
                },
                Qt::QueuedConnection);
        });
    } catch (...) {
        running = false;
        throw;
    }
}

void BackgroundJob::abandon()
{
    if (wanted)
        wanted->store(false);
    if (worker.joinable())
        worker.join();
    running = false;
}
