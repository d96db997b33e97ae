/*
 * Test interface of the simulator build of the VRAX runtime: fault and delay
 * injection, and counters that let tests check how the runtime was used.
 *
 * The same injections can be made through environment variables (read again
 * whenever their text changes), so that a whole application can be driven
 * into its error paths:
 *
 *   VRAX_FAULTS="VRAX_Process=13@5,VRAX_GetStatus=21"
 *       VRAX_Process lets 5 calls through, then fails every later call with
 *       13 (VRAX_RESULT_BOARD_SYNC_ERROR); VRAX_GetStatus fails at once with 21.
 *   VRAX_DELAYS="VRAX_Process=20ms,frame=100ms"
 *       every VRAX_Process call takes 20 ms longer; every frame keeps its
 *       processing unit busy 100 ms longer. Units: us, ms (default), s.
 *
 * Entries made here take precedence over those of the environment.
 */
#ifndef VRAX_SIM_H
#define VRAX_SIM_H

#include <stdint.h>

#include "vrax.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the exported runtime call named function (for example "VRAX_Process")
 * fail with code after letting afterCalls calls through; every later call
 * fails until the injection is cleared. Code 0 removes the call's fault.
 * Returns VRAX_RESULT_INVALID_FUNC_PARAMETER for an unknown name. */
VRAX_API int32_t VRAX_SIM_InjectFault(const char *function, int32_t code, uint32_t afterCalls);

/* Slows down the exported call named target by milliseconds per call, or,
 * with target "frame", keeps each processing unit busy that much longer per
 * frame. 0 removes the delay. Returns VRAX_RESULT_INVALID_FUNC_PARAMETER for
 * an unknown name. */
VRAX_API int32_t VRAX_SIM_InjectDelay(const char *target, uint32_t milliseconds);

/* Removes every fault and delay, those of the environment variables too
 * (until their text changes). */
VRAX_API void VRAX_SIM_ClearInjections(void);

/* Counters since the library was loaded or VRAX_SIM_ResetCounters. */
VRAX_API uint32_t VRAX_SIM_CreatedCount(void);        /* successful VRAX_Create calls */
VRAX_API uint32_t VRAX_SIM_DestroyedCount(void);      /* handles destroyed */
VRAX_API uint32_t VRAX_SIM_DestroyedTwiceCount(void); /* VRAX_Destroy of an already destroyed handle */
VRAX_API uint32_t VRAX_SIM_LiveSessionCount(void);    /* handles created and not destroyed (not reset) */
VRAX_API uint32_t VRAX_SIM_BlinkCount(uint32_t boardType, uint32_t boardIndex);
VRAX_API void VRAX_SIM_ResetCounters(void);

/* Explanation of the calling thread's last failed runtime call (for example
 * why a binary model was refused); never null. */
VRAX_API const char *VRAX_SIM_GetLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* VRAX_SIM_H */
