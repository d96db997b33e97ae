#include "workbench/run_controller.h"

#include "sources/frame.h"

#include <utility>

RunController::RunController(QObject *parent) : QObject(parent) {}

RunController::~RunController()
{
    abandon();
}

void RunController::start(Request request)
{
    abandon();
    source = std::move(request.source);
    scaling = std::make_unique<DisplayScalingSource>(*source);
    scaling->setTarget(request.target);
    handOver = std::make_unique<FrameHandOver>(request.everyFrame);
    handOver->onArrival = [this] { QMetaObject::invokeMethod(this, [this] { emit frameArrived(); }, Qt::QueuedConnection); };
    auto deliver = [hand = handOver.get(), alsoTo = std::move(request.alsoTo)](FramePtr frame) {
        if (alsoTo)
            alsoTo(frame);
        hand->put(std::move(frame));
    };
    try {
        run = std::make_unique<FrameRun>(request.boards, *scaling, *request.model, request.reference, std::move(deliver),
                                         request.filter);
        run->onFinished = [this] { QMetaObject::invokeMethod(this, [this] { emit finished(); }, Qt::QueuedConnection); };
        last = Figures();
        last.inFlightLimit = run->inFlightLimit();
        started = steadyNanoseconds();
        run->start(request.frameLimit);
    } catch (...) {
        release();
        throw;
    }
}

void RunController::stop()
{
    if (run)
        run->stop();
}

FramePtr RunController::takeFrame()
{
    return handOver ? handOver->take() : nullptr;
}

std::exception_ptr RunController::finish()
{
    if (!run)
        return nullptr;
    std::exception_ptr failure;
    try {
        run->wait();
    } catch (...) {
        failure = std::current_exception();
    }
    last.delivered = run->framesDelivered();
    last.dropped = run->framesDropped();
    last.boardFps = run->boardFps();
    // The frames not yet taken stay: the last one in is shown after the end.
    run.reset();
    return failure;
}

void RunController::abandon()
{
    if (handOver)
        handOver->close(); // a board thread waiting to hand over a frame goes on
    if (run) {
        run->stop();
        finish();
    }
    release();
}

void RunController::release()
{
    run.reset();
    handOver.reset();
    scaling.reset();
    source.reset();
}

void RunController::setDisplayTarget(const DisplayTarget &target)
{
    if (scaling)
        scaling->setTarget(target);
}

std::uint64_t RunController::framesDelivered() const
{
    return run ? run->framesDelivered() : last.delivered;
}

std::uint64_t RunController::framesDropped() const
{
    return run ? run->framesDropped() : last.dropped;
}

std::uint32_t RunController::framesInFlight() const
{
    return run ? run->framesInFlight() : 0;
}

std::uint32_t RunController::inFlightLimit() const
{
    return last.inFlightLimit;
}

double RunController::boardFps() const
{
    return run ? run->boardFps() : last.boardFps;
}
