#include "runtime_injections.h"

InjectionTable &runtimeInjections()
{
    static InjectionTable table("VRAX_FAULTS", "VRAX_DELAYS",
                                {"VRAX_GetLibVersion", "VRAX_GetBoardCount", "VRAX_Blink",
                                 "VRAX_Create", "VRAX_Initialize", "VRAX_GetModelInfo",
                                 "VRAX_Process", "VRAX_GetStatus", "VRAX_GetOutput", "VRAX_Destroy",
                                 "VRAX_PROFILE_GetLayerCount", "VRAX_PROFILE_GetLayerInfo", "VRAX_PROFILE_Enable",
                                 "VRAX_PROFILE_GetLayerTimes", "VRAX_PROFILE_GetUnitLayerTimes",
                                 "VRAX_PROFILE_GetLayerOutput", "frame"});
    return table;
}

std::chrono::microseconds injectedFrameDelay()
{
    return runtimeInjections().delayFor("frame");
}
