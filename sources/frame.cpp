#include "sources/frame.h"

#include <chrono>

std::int64_t steadyNanoseconds()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}
