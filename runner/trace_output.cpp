#include "runner/trace_output.h"

#include "accel/frame_processing.h"
#include "measuring/run_statistics.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

namespace {

constexpr int framesProcess = 1;
constexpr int unitsProcess = 2;

QString microseconds(std::int64_t nanoseconds)
{
    return QString::number(double(nanoseconds) / 1000.0, 'f', 3);
}

QString quoted(const QString &text)
{
    const QByteArray json = QJsonDocument(QJsonObject{{"t", text}}).toJson(QJsonDocument::Compact);
    // {"t":"..."}: the value as JSON writes it.
    return QString::fromUtf8(json.mid(5, json.size() - 6));
}

} // namespace

TraceWriter::TraceWriter(const QString &path, std::int64_t origin, const QString &board, std::uint32_t sessions,
                         std::uint32_t unitsPerSession)
    : file(path), origin(origin), sessions(sessions), unitsPerSession(unitsPerSession)
{
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
    file.write("{\"displayTimeUnit\":\"ms\",\"traceEvents\":[\n");
    add(QStringLiteral(R"({"name":"process_name","ph":"M","pid":%1,"tid":0,"args":{"name":"frames"}})")
            .arg(framesProcess));
    add(QStringLiteral(R"({"name":"process_name","ph":"M","pid":%1,"tid":0,"args":{"name":%2}})")
            .arg(unitsProcess)
            .arg(quoted(QStringLiteral("board ") + board)));
    for (std::uint32_t session = 0; session < sessions; ++session)
        for (std::uint32_t unit = 0; unit < unitsPerSession; ++unit)
            nameLane(unitsProcess, session * unitsPerSession + unit + 1,
                     sessions > 1 ? QStringLiteral("session %1, unit %2").arg(session).arg(unit)
                                  : QStringLiteral("unit %1").arg(unit));
}

void TraceWriter::add(const QString &event)
{
    const QByteArray text = (first ? QString() : QStringLiteral(",\n")).toUtf8() + event.toUtf8();
    first = false;
    if (!failed && file.write(text) != text.size())
        failed = true;
}

void TraceWriter::nameLane(int pid, std::uint32_t tid, const QString &name)
{
    add(QStringLiteral(R"({"name":"thread_name","ph":"M","pid":%1,"tid":%2,"args":{"name":%3}})")
            .arg(pid)
            .arg(tid)
            .arg(quoted(name)));
}

void TraceWriter::addSpan(const QString &name, std::int64_t start, std::int64_t end, int pid, std::uint32_t tid,
                          const QString &arguments)
{
    add(QStringLiteral(R"({"name":%1,"ph":"X","ts":%2,"dur":%3,"pid":%4,"tid":%5%6})")
            .arg(quoted(name), microseconds(start - origin), microseconds(end - start))
            .arg(pid)
            .arg(tid)
            .arg(arguments.isEmpty() ? QString() : QStringLiteral(",\"args\":") + arguments));
}

std::uint32_t TraceWriter::laneFor(std::int64_t start, std::int64_t end)
{
    // The first lane free by the frame's start: frames on one lane never
    // overlap, so the viewer nests each frame's stages under it.
    std::size_t lane = 0;
    while (lane < laneEnds.size() && laneEnds[lane] > start)
        ++lane;
    if (lane == laneEnds.size()) {
        laneEnds.push_back(end);
        nameLane(framesProcess, std::uint32_t(lane + 1), QStringLiteral("frames %1").arg(lane + 1));
    }
    laneEnds[lane] = end;
    return std::uint32_t(lane + 1);
}

bool TraceWriter::addFrame(const Frame &frame)
{
    const StageTimes &times = frame.times;
    // The frame's span is its whole time, its wait in the read-ahead queue
    // included (the latency leaves that out), so that its stages lie inside.
    const std::int64_t end = times.shown != 0 ? times.shown : times.decoded;
    if (times.readStart == 0 || end == 0)
        return !failed;
    const std::uint32_t lane = laneFor(times.readStart, end);
    const QString arguments = QStringLiteral(R"({"frame":%1,"source":%2})")
                                  .arg(frame.sequence)
                                  .arg(quoted(frame.origin.source));
    addSpan(QStringLiteral("frame %1").arg(frame.sequence), times.readStart, end, framesProcess, lane, arguments);
    // Each stage begins where the one before ended.
    std::int64_t start = times.readStart;
    for (std::size_t i = 0; i < stageCount; ++i) {
        const std::optional<std::int64_t> duration = stageDuration(times, Stage(i));
        if (!duration)
            break;
        addSpan(QString::fromLatin1(stageKey(Stage(i))), start, start + *duration, framesProcess, lane);
        start += *duration;
    }
    if (times.submitted != 0 && times.fetched != 0) {
        const PipelineSlot slot = pipelineSlot(frame.sequence, unitsPerSession, sessions);
        addSpan(QStringLiteral("frame %1").arg(frame.sequence), times.submitted, times.fetched, unitsProcess,
                std::uint32_t(slot.session) * unitsPerSession + slot.unit + 1, arguments);
    }
    return !failed;
}

bool TraceWriter::finish()
{
    file.write("\n]}\n");
    if (!file.flush())
        failed = true;
    file.close();
    return !failed;
}

QString TraceWriter::error() const
{
    return QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString());
}
