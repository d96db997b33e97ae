// vrax-run --trace: the run's frames as trace events in the Chrome trace
// event format, which a browser's trace viewer loads ({"traceEvents": [...]},
// each event with name, ph, ts and dur in microseconds, pid and tid).
// Process 1 holds the frames: each frame from the start of reading to its
// result written, with its stages (read, prepare, queued, board, decode,
// waiting, draw) inside it, on as many lanes as frames overlap. Process 2
// holds the board's units, one lane each: a unit is busy with a frame from
// its submission to its outputs fetched. Written as the frames come, so a
// long run keeps nothing in memory.
#pragma once

#include "sources/frame.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

class TraceWriter
{
public:
    // origin: the steady-clock moment taken as time 0. Throws
    // std::runtime_error naming the file when it cannot be opened.
    TraceWriter(const QString &path, std::int64_t origin, const QString &board, std::uint32_t sessions,
                std::uint32_t unitsPerSession);

    // A finished frame, once its result is written; one thread at a time.
    // False (error() says why) when the file could not be written.
    bool addFrame(const Frame &frame);
    // Ends the JSON and flushes; false as addFrame.
    bool finish();
    QString error() const;

private:
    void add(const QString &event);
    void addSpan(const QString &name, std::int64_t start, std::int64_t end, int pid, std::uint32_t tid,
                 const QString &arguments = QString());
    void nameLane(int pid, std::uint32_t tid, const QString &name);
    std::uint32_t laneFor(std::int64_t start, std::int64_t end);

    QFile file;
    const std::int64_t origin;
    const std::uint32_t sessions;
    const std::uint32_t unitsPerSession;
    bool first = true;
    bool failed = false;
    std::vector<std::int64_t> laneEnds; // where each frame lane is free again
};
