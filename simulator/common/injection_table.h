// Fault and delay injection for tests: makes chosen exported calls fail with a
// chosen result code, or slows them down. Entries come from the library's
// test interface and from two environment variables, read again whenever
// their text changes:
//
//   <faults variable>  = "NAME=CODE[@AFTER],..."     e.g. "VRAX_Process=13@5,VRAX_GetStatus=21"
//   <delays variable>  = "NAME=DURATION,..."         e.g. "VRAX_Process=20ms,frame=100ms"
//
// A fault lets its first AFTER calls through (0 when omitted), then fails
// every later call with CODE. DURATION is a whole number with the unit us,
// ms or s (ms when omitted). The syntax is described in simulator/README.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

struct InjectedFault
{
    std::string target;
    std::int32_t code = 0;
    std::uint32_t afterCalls = 0;
};

struct InjectedDelay
{
    std::string target;
    std::chrono::microseconds duration{0};
};

// The entry for key in first, else in second (the test interface's entries
// win over the environment's); nullptr when neither has one.
template <typename First, typename Second>
auto findInEither(First &first, Second &second, const typename First::key_type &key) -> decltype(&second.begin()->second)
{
    const auto inFirst = first.find(key);
    if (inFirst != first.end())
        return &inFirst->second;
    const auto inSecond = second.find(key);
    return inSecond != second.end() ? &inSecond->second : nullptr;
}

// The text without the spaces, tabs and line ends around it.
std::string trimmed(const std::string &text);

// A whole number with the unit us, ms or s (ms when omitted), such as
// "500us", "20ms" or "2s"; false for anything else.
bool parseDuration(const std::string &text, std::chrono::microseconds &duration);

// Parsers of the environment syntax; they throw std::invalid_argument with a
// text naming the faulty entry.
std::vector<InjectedFault> parseFaultList(const std::string &text);
std::vector<InjectedDelay> parseDelayList(const std::string &text);

class InjectionTable
{
public:
    // validTargets: the names that may be given (unknown names are refused).
    InjectionTable(const char *faultVariable, const char *delayVariable,
                   std::vector<std::string> validTargets);

    // To be called first thing by every exported call: sleeps for the call's
    // delay, then answers the injected result code, or 0 to go on.
    std::int32_t enter(const char *function);

    // The extra time a target that is not a call (such as "frame") takes.
    std::chrono::microseconds delayFor(const char *target);

    // Test interface; both return false for an unknown target.
    bool injectFault(const std::string &target, std::int32_t code, std::uint32_t afterCalls);
    bool injectDelay(const std::string &target, std::chrono::microseconds duration);

    // Drops every entry, those from the environment too (until its text changes).
    void clear();

private:
    struct FaultState
    {
        std::int32_t code = 0;
        std::uint32_t afterCalls = 0;
        std::uint64_t calls = 0;
    };

    void refreshFromEnvironment();
    bool isValidTarget(const std::string &target) const;

    const char *faultVariable;
    const char *delayVariable;
    std::vector<std::string> validTargets;

    std::mutex mutex;
    std::string seenFaultText;
    std::string seenDelayText;
    std::map<std::string, FaultState> environmentFaults;
    std::map<std::string, std::chrono::microseconds> environmentDelays;
    std::map<std::string, FaultState> faults;
    std::map<std::string, std::chrono::microseconds> delays;
};
