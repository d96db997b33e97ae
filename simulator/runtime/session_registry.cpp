#include "session_registry.h"

#include "runtime_failure.h"

SessionRegistry &SessionRegistry::instance()
{
    static SessionRegistry registry;
    return registry;
}

VRAX_Handle SessionRegistry::create()
{
    auto session = std::make_shared<Session>();
    std::lock_guard<std::mutex> lock(mutex);
    // Handles are never reused, so a stale handle can always be told apart.
    if (lastHandle == UINT32_MAX)
        throw RuntimeFailure(VRAX_RESULT_MEMORY_ALLOCATION_ERROR, "no handles left");
    const VRAX_Handle handle = ++lastHandle;
    sessions.emplace(handle, std::move(session));
    ++created;
    return handle;
}

std::shared_ptr<Session> SessionRegistry::find(VRAX_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto entry = sessions.find(handle);
    if (entry != sessions.end())
        return entry->second;
    if (handle != 0 && handle <= lastHandle)
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "handle " + std::to_string(handle) + " has been destroyed");
    throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                         "handle " + std::to_string(handle) + " was never created");
}

std::shared_ptr<Session> SessionRegistry::take(VRAX_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto entry = sessions.find(handle);
    if (entry == sessions.end()) {
        if (handle != 0 && handle <= lastHandle) {
            ++destroyedTwice;
            throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                                 "handle " + std::to_string(handle) + " was already destroyed");
        }
        throw RuntimeFailure(VRAX_RESULT_INVALID_FUNC_PARAMETER,
                             "handle " + std::to_string(handle) + " was never created");
    }
    std::shared_ptr<Session> session = std::move(entry->second);
    sessions.erase(entry);
    ++destroyed;
    return session;
}

std::uint32_t SessionRegistry::createdCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return created;
}

std::uint32_t SessionRegistry::destroyedCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return destroyed;
}

std::uint32_t SessionRegistry::destroyedTwiceCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return destroyedTwice;
}

std::uint32_t SessionRegistry::liveCount()
{
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<std::uint32_t>(sessions.size());
}

void SessionRegistry::resetCounters()
{
    std::lock_guard<std::mutex> lock(mutex);
    created = destroyed = destroyedTwice = 0;
}
