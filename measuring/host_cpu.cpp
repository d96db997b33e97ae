#include "measuring/host_cpu.h"

#include <QDir>
#include <QFile>

#include <ctime>

#include <unistd.h>

namespace {

// utime + stime in clock ticks of one /proc/<pid>/task/<tid>/stat, and
// whether the thread is a unit of the runtime.
bool readTaskTicks(const QString &statPath, unsigned long long &ticks, bool &isUnit)
{
    QFile file(statPath);
    if (!file.open(QIODevice::ReadOnly))
        return false; // the thread has just ended
    const QByteArray stat = file.readAll();
    const int open = stat.indexOf('(');
    const int close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return false;
    isUnit = stat.mid(open + 1, close - open - 1).startsWith("vrax-unit");
    // After the name: state, then fields 4 onwards; utime and stime are 14 and 15.
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 13)
        return false;
    ticks = fields[11].toULongLong() + fields[12].toULongLong();
    return true;
}

// The thread's CPU time in nanoseconds from its schedstat, exact where the
// stat's ticks are rounded down to 10 ms; 0 where the kernel keeps none.
unsigned long long taskNanoseconds(const QString &schedstatPath)
{
    QFile file(schedstatPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().split(' ').value(0).toULongLong();
}

} // namespace

double wholeProcessCpuSeconds()
{
    timespec process{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &process) != 0)
        return 0.0;
    return double(process.tv_sec) + double(process.tv_nsec) / 1e9;
}

double hostCpuSeconds()
{
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0)
        return 0.0;
    const double process = wholeProcessCpuSeconds();
    double units = 0.0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        unsigned long long ticks = 0;
        bool isUnit = false;
        if (!readTaskTicks(tasks.filePath(task + QStringLiteral("/stat")), ticks, isUnit) || !isUnit)
            continue;
        const unsigned long long nanoseconds = taskNanoseconds(tasks.filePath(task + QStringLiteral("/schedstat")));
        units += nanoseconds != 0 ? double(nanoseconds) / 1e9 : double(ticks) / double(ticksPerSecond);
    }
    return process - units;
}
