#include "injection_table.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <thread>

std::string trimmed(const std::string &text)
{
    const char *space = " \t\r\n";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

namespace {

std::vector<std::string> splitEntries(const std::string &text)
{
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string entry = trimmed(text.substr(start, comma - start));
        if (!entry.empty())
            entries.push_back(entry);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return entries;
}

// Whole unsigned decimal number of at most 9 digits, or -1.
long long parseCount(const std::string &text)
{
    if (text.empty() || text.size() > 9
        || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return std::stoll(text);
}

std::pair<std::string, std::string> splitAssignment(const std::string &entry)
{
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0)
        throw std::invalid_argument("\"" + entry + "\" is not NAME=VALUE");
    return {trimmed(entry.substr(0, equals)), trimmed(entry.substr(equals + 1))};
}

} // namespace

std::vector<InjectedFault> parseFaultList(const std::string &text)
{
    std::vector<InjectedFault> faults;
    for (const std::string &entry : splitEntries(text)) {
        const auto [name, value] = splitAssignment(entry);
        InjectedFault fault;
        fault.target = name;
        const std::size_t at = value.find('@');
        const long long code = parseCount(trimmed(value.substr(0, at)));
        const long long after = at == std::string::npos ? 0 : parseCount(trimmed(value.substr(at + 1)));
        if (code <= 0 || code > INT32_MAX || after < 0)
            throw std::invalid_argument("\"" + entry + "\" is not NAME=CODE or NAME=CODE@CALLS"
                                        " with a positive CODE");
        fault.code = static_cast<std::int32_t>(code);
        fault.afterCalls = static_cast<std::uint32_t>(after);
        faults.push_back(fault);
    }
    return faults;
}

bool parseDuration(const std::string &text, std::chrono::microseconds &duration)
{
    const std::string value = trimmed(text);
    std::size_t digits = 0;
    while (digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits])))
        ++digits;
    const long long amount = parseCount(value.substr(0, digits));
    const std::string unit = trimmed(value.substr(digits));
    long long microseconds = -1;
    if (amount >= 0) {
        if (unit == "us")
            microseconds = amount;
        else if (unit == "ms" || unit.empty())
            microseconds = amount * 1000;
        else if (unit == "s")
            microseconds = amount * 1000000;
    }
    if (microseconds < 0)
        return false;
    duration = std::chrono::microseconds(microseconds);
    return true;
}

std::vector<InjectedDelay> parseDelayList(const std::string &text)
{
    std::vector<InjectedDelay> delays;
    for (const std::string &entry : splitEntries(text)) {
        const auto [name, value] = splitAssignment(entry);
        std::chrono::microseconds duration{0};
        if (!parseDuration(value, duration))
            throw std::invalid_argument("\"" + entry + "\" is not NAME=DURATION with a duration"
                                        " such as 500us, 20ms or 2s");
        delays.push_back({name, duration});
    }
    return delays;
}

InjectionTable::InjectionTable(const char *faultVariable, const char *delayVariable,
                               std::vector<std::string> validTargets)
    : faultVariable(faultVariable), delayVariable(delayVariable),
      validTargets(std::move(validTargets))
{
}

bool InjectionTable::isValidTarget(const std::string &target) const
{
    return std::find(validTargets.begin(), validTargets.end(), target) != validTargets.end();
}

void InjectionTable::refreshFromEnvironment()
{
    // Called with the mutex held. A changed text replaces the entries that
    // came from the environment; those set by the test interface stay.
    const char *faultValue = std::getenv(faultVariable);
    const std::string faultText = faultValue ? faultValue : "";
    if (faultText != seenFaultText) {
        seenFaultText = faultText;
        environmentFaults.clear();
        try {
            for (const InjectedFault &fault : parseFaultList(faultText)) {
                if (!isValidTarget(fault.target))
                    throw std::invalid_argument("\"" + fault.target + "\" is no call of this library");
                environmentFaults[fault.target] = FaultState{fault.code, fault.afterCalls, 0};
            }
        } catch (const std::invalid_argument &error) {
            environmentFaults.clear();
            std::fprintf(stderr, "%s ignored: %s\n", faultVariable, error.what());
        }
    }
    const char *delayValue = std::getenv(delayVariable);
    const std::string delayText = delayValue ? delayValue : "";
    if (delayText != seenDelayText) {
        seenDelayText = delayText;
        environmentDelays.clear();
        try {
            for (const InjectedDelay &delay : parseDelayList(delayText)) {
                if (!isValidTarget(delay.target))
                    throw std::invalid_argument("\"" + delay.target + "\" is no call of this library");
                environmentDelays[delay.target] = delay.duration;
            }
        } catch (const std::invalid_argument &error) {
            environmentDelays.clear();
            std::fprintf(stderr, "%s ignored: %s\n", delayVariable, error.what());
        }
    }
}

std::int32_t InjectionTable::enter(const char *function)
{
    std::chrono::microseconds delay{0};
    std::int32_t code = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        refreshFromEnvironment();
        const std::string name(function);
        if (const auto *entry = findInEither(delays, environmentDelays, name))
            delay = *entry;
        if (auto *state = findInEither(faults, environmentFaults, name)) {
            if (state->calls >= state->afterCalls)
                code = state->code;
            else
                ++state->calls;
        }
    }
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
    return code;
}

std::chrono::microseconds InjectionTable::delayFor(const char *target)
{
    std::lock_guard<std::mutex> lock(mutex);
    refreshFromEnvironment();
    const auto *entry = findInEither(delays, environmentDelays, target);
    return entry ? *entry : std::chrono::microseconds(0);
}

bool InjectionTable::injectFault(const std::string &target, std::int32_t code,
                                 std::uint32_t afterCalls)
{
    if (!isValidTarget(target))
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    if (code == 0)
        faults.erase(target);
    else
        faults[target] = FaultState{code, afterCalls, 0};
    return true;
}

bool InjectionTable::injectDelay(const std::string &target, std::chrono::microseconds duration)
{
    if (!isValidTarget(target))
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    if (duration.count() == 0)
        delays.erase(target);
    else
        delays[target] = duration;
    return true;
}

void InjectionTable::clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    refreshFromEnvironment();
    faults.clear();
    delays.clear();
    environmentFaults.clear();
    environmentDelays.clear();
}
