#include "board_inventory.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr std::uint32_t maxBoardsPerType = 64;

struct Inventory
{
    std::mutex mutex;
    std::string seenText;
    std::uint32_t counts[highestBoardType + 1] = {1, 0, 0, 0, 0, 0, 0, 0};
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> blinks;
};

Inventory &inventory()
{
    static Inventory instance;
    return instance;
}

bool parseNumber(const std::string &text, std::uint32_t &value)
{
    if (text.empty() || text.size() > 4)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    value = static_cast<std::uint32_t>(std::stoul(text));
    return true;
}

// Called with the mutex held: takes over a changed VRAX_BOARDS.
void refresh(Inventory &state)
{
    const char *value = std::getenv("VRAX_BOARDS");
    const std::string text = value ? value : "";
    if (text == state.seenText)
        return;
    state.seenText = text;
    for (std::uint32_t type = 1; type <= highestBoardType; ++type)
        state.counts[type] = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string entry = text.substr(start, comma - start);
        start = comma + 1;
        entry.erase(0, entry.find_first_not_of(" \t"));
        entry.erase(entry.find_last_not_of(" \t") + 1);
        if (entry.empty())
            continue;
        const std::size_t colon = entry.find(':');
        std::uint32_t type = 0;
        std::uint32_t count = 0;
        if (colon == std::string::npos || !parseNumber(entry.substr(0, colon), type)
            || !parseNumber(entry.substr(colon + 1), count) || type < 1 || type > highestBoardType
            || count > maxBoardsPerType) {
            std::fprintf(stderr,
                         "VRAX_BOARDS: \"%s\" ignored (write TYPE:COUNT with a type from 1 to 7 and"
                         " at most %u boards)\n",
                         entry.c_str(), maxBoardsPerType);
            continue;
        }
        state.counts[type] = count;
    }
}

} // namespace

std::uint32_t boardCount(std::uint32_t boardType)
{
    if (boardType > highestBoardType)
        return 0;
    Inventory &state = inventory();
    std::lock_guard<std::mutex> lock(state.mutex);
    refresh(state);
    return state.counts[boardType];
}

bool boardExists(std::uint32_t boardType, std::uint32_t boardIndex)
{
    return boardIndex < boardCount(boardType);
}

void recordBlink(std::uint32_t boardType, std::uint32_t boardIndex)
{
    Inventory &state = inventory();
    std::lock_guard<std::mutex> lock(state.mutex);
    ++state.blinks[{boardType, boardIndex}];
}

std::uint32_t blinkCount(std::uint32_t boardType, std::uint32_t boardIndex)
{
    Inventory &state = inventory();
    std::lock_guard<std::mutex> lock(state.mutex);
    const auto entry = state.blinks.find({boardType, boardIndex});
    return entry == state.blinks.end() ? 0 : entry->second;
}

void resetBlinkCounts()
{
    Inventory &state = inventory();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.blinks.clear();
}
