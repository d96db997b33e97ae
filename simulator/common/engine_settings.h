// The engine settings both libraries apply when they first use it (the only
// engine code in common/: a header, included by the libraries alone).
//
// Each processing unit runs frames on a thread of its own, so the engine's
// thread pool would only compete with the other units: one engine thread per
// unit gives the best throughput (see BENCHMARKS.md), and results do not
// depend on how a pool split the work. VRAX_SIM_ENGINE_THREADS sets another
// count. The engine's messages are silenced: the libraries report failures
// through result codes and texts. Both settings are process-wide, so they are
// made at the first compilation or session, not when a library loads: a
// program that links the libraries without using them keeps OpenCV as it was.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include <cstdlib>
#include <mutex>

inline void applyEngineSettings()
{
    static std::once_flag applied;
    std::call_once(applied, [] {
        int threads = 1;
        if (const char *value = std::getenv("VRAX_SIM_ENGINE_THREADS")) {
            const int requested = std::atoi(value);
            if (requested > 0 && requested <= 256)
                threads = requested;
        }
        cv::setNumThreads(threads);
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    });
}
