// The handles handed out by VRAX_Create and the sessions behind them, with
// the counts that let tests see how handles were used.
#pragma once

#include "session.h"
#include "vrax.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

class SessionRegistry
{
public:
    static SessionRegistry &instance();

    VRAX_Handle create();
    // Throws RuntimeFailure (INVALID_FUNC_PARAMETER) for a handle that was
    // never made or was destroyed.
    std::shared_ptr<Session> find(VRAX_Handle handle);
    // Takes the session out; throws as find does, counting a second destroy.
    std::shared_ptr<Session> take(VRAX_Handle handle);

    std::uint32_t createdCount();
    std::uint32_t destroyedCount();
    std::uint32_t destroyedTwiceCount();
    std::uint32_t liveCount();
    void resetCounters();

private:
    std::mutex mutex;
    VRAX_Handle lastHandle = 0;
    std::map<VRAX_Handle, std::shared_ptr<Session>> sessions;
    std::uint32_t created = 0;
    std::uint32_t destroyed = 0;
    std::uint32_t destroyedTwice = 0;
};
