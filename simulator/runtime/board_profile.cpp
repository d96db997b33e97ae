#include "board_profile.h"

#include "injection_table.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace {

constexpr std::uint32_t boardTypes = 8;
constexpr std::size_t defaultCacheMegabytes = 256;

// Calls take(type, value text, whole entry) for each TYPE:VALUE entry.
template <typename Take>
void forEachTypeEntry(const std::string &text, Take take)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string entry = trimmed(text.substr(start, comma - start));
        if (!entry.empty()) {
            const std::size_t colon = entry.find(':');
            const std::string type = colon == std::string::npos ? entry : trimmed(entry.substr(0, colon));
            if (colon == std::string::npos || type.size() != 1 || type[0] < '0' || type[0] > '7')
                throw std::invalid_argument("\"" + entry + "\" is not TYPE:VALUE with a board type 0 to 7");
            take(static_cast<std::uint32_t>(type[0] - '0'), trimmed(entry.substr(colon + 1)), entry);
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
}

// One environment variable of TYPE:VALUE entries, parsed again when its text
// changes; a malformed text counts as empty.
template <typename Value>
class EnvironmentEntries
{
public:
    using Parser = std::map<std::uint32_t, Value> (*)(const std::string &);
    EnvironmentEntries(const char *variable, Parser parse) : variable(variable), parse(parse) {}

    // Called with the profiles' mutex held.
    const std::map<std::uint32_t, Value> &current()
    {
        const char *value = std::getenv(variable);
        const std::string text = value ? value : "";
        if (text != seenText) {
            seenText = text;
            try {
                entries = parse(text);
            } catch (const std::invalid_argument &error) {
                entries.clear();
                std::fprintf(stderr, "%s ignored: %s\n", variable, error.what());
            }
        }
        return entries;
    }
    void clear()
    {
        current();
        entries.clear();
    }

private:
    const char *variable;
    Parser parse;
    std::string seenText;
    std::map<std::uint32_t, Value> entries;
};

struct Profiles
{
    std::mutex mutex;
    EnvironmentEntries<std::chrono::microseconds> environmentTimes{"VRAX_SIM_BOARD_TIME", parseBoardTimeList};
    EnvironmentEntries<BoardPrecision> environmentPrecisions{"VRAX_SIM_PRECISION", parseBoardPrecisionList};
    std::map<std::uint32_t, std::chrono::microseconds> times;
    std::map<std::uint32_t, BoardPrecision> precisions;
    std::string seenCacheText;
    std::size_t environmentCacheLimit = defaultCacheMegabytes << 20;
    std::size_t cacheLimit = 0;
};

Profiles &profiles()
{
    static Profiles instance;
    return instance;
}

} // namespace

std::map<std::uint32_t, std::chrono::microseconds> parseBoardTimeList(const std::string &text)
{
    std::map<std::uint32_t, std::chrono::microseconds> times;
    forEachTypeEntry(text, [&](std::uint32_t type, const std::string &value, const std::string &entry) {
        std::chrono::microseconds time{0};
        if (!parseDuration(value, time))
            throw std::invalid_argument("\"" + entry + "\" is not TYPE:DURATION with a duration"
                                        " such as 500us, 4ms or 2s");
        times[type] = time;
    });
    return times;
}

std::map<std::uint32_t, BoardPrecision> parseBoardPrecisionList(const std::string &text)
{
    std::map<std::uint32_t, BoardPrecision> precisions;
    forEachTypeEntry(text, [&](std::uint32_t type, const std::string &value, const std::string &entry) {
        BoardPrecision precision = BoardPrecision::Float;
        if (!parseBoardPrecision(value, precision))
            throw std::invalid_argument("\"" + entry + "\" is not TYPE:PRECISION with a precision"
                                        " float, int8, int8-io or fp16");
        precisions[type] = precision;
    });
    return precisions;
}

BoardProfile boardProfile(std::uint32_t boardType)
{
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    BoardProfile profile;
    if (const auto *time = findInEither(all.times, all.environmentTimes.current(), boardType))
        profile.frameTime = *time;
    if (const auto *precision = findInEither(all.precisions, all.environmentPrecisions.current(), boardType))
        profile.precision = *precision;
    return profile;
}

bool setBoardFrameTime(std::uint32_t boardType, std::chrono::microseconds time)
{
    if (boardType >= boardTypes)
        return false;
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (time.count() == 0)
        all.times.erase(boardType);
    else
        all.times[boardType] = time;
    return true;
}

bool setBoardPrecision(std::uint32_t boardType, BoardPrecision precision)
{
    if (boardType >= boardTypes)
        return false;
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.precisions[boardType] = precision;
    return true;
}

void clearBoardProfiles()
{
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.times.clear();
    all.precisions.clear();
    all.environmentTimes.clear();
    all.environmentPrecisions.clear();
    all.cacheLimit = 0;
}

std::size_t boardCacheLimit()
{
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    if (all.cacheLimit > 0)
        return all.cacheLimit;
    const char *value = std::getenv("VRAX_SIM_BOARD_CACHE_MB");
    const std::string text = value ? trimmed(value) : "";
    if (text != all.seenCacheText) {
        all.seenCacheText = text;
        char *end = nullptr;
        const unsigned long long megabytes = std::strtoull(text.c_str(), &end, 10);
        const bool valid = !text.empty() && *end == '\0' && text[0] != '-' && megabytes <= (1ull << 20);
        if (!valid && !text.empty())
            std::fprintf(stderr, "VRAX_SIM_BOARD_CACHE_MB ignored: \"%s\" is not a number of megabytes"
                                 " (0 to 1048576)\n", text.c_str());
        all.environmentCacheLimit = std::size_t(valid ? megabytes : defaultCacheMegabytes) << 20;
    }
    return all.environmentCacheLimit;
}

void setBoardCacheLimit(std::size_t bytes)
{
    Profiles &all = profiles();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.cacheLimit = bytes;
}
