// The runtime's fault and delay injections (VRAX_FAULTS, VRAX_DELAYS and the
// VRAX_SIM_Inject* calls).
#pragma once

#include "injection_table.h"

#include <chrono>

InjectionTable &runtimeInjections();

// Extra time each frame keeps its unit busy ("frame" target).
std::chrono::microseconds injectedFrameDelay();
