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
 * Board types can also be given a speed and a number precision:
 *
 *   VRAX_SIM_BOARD_TIME="0:4ms,2:2ms"
 *       every processing unit of the simulator (type 0) takes 4 ms per frame,
 *       every unit of a type 2 board 2 ms, whatever the host's speed: a unit
 *       runs the network once for an input it has not seen and remembers the
 *       outputs (keyed by the model, the precision and the input's exact
 *       bytes); an input it has seen is answered from memory, without the
 *       engine. The unit reports busy until TIME has passed since
 *       VRAX_Process (or until the engine is done, when that takes longer),
 *       and the frame rate VRAX_GetOutput reports follows: 1 / TIME for one
 *       unit at a time, 4 / TIME for four units kept busy. Units: us, ms
 *       (default), s. VRAX_Destroy does not wait out the remaining time.
 *   VRAX_SIM_BOARD_CACHE_MB=256
 *       the memory those remembered outputs may take, with their inputs, for
 *       the whole process (256 MB when unset); the least recently used go.
 *   VRAX_SIM_PRECISION="1:int8,2:int8-io,3:fp16"
 *       units of type 1 run the network quantised to int8 by the engine
 *       (weights per output channel, activations per tensor), calibrated on
 *       the model's calibration inputs or else on the session's first frame;
 *       units of type 2 round their input tensor and each output tensor to
 *       int8 (one symmetric scale per tensor: its largest finite magnitude
 *       / 127; value = round(x / scale) * scale, halves away from zero; an
 *       all-zero tensor stays zero, infinities saturate, NaN becomes 0) and
 *       compute in float; units of type 3 round to the nearest
 *       half-precision value (ties to even; finite values beyond 65504
 *       saturate to +-65504, infinities and NaN stay). "float", the default,
 *       computes exactly.
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

/* Removes every fault, delay, board time, precision and cache limit, those
 * of the environment variables too (until their text changes). */
VRAX_API void VRAX_SIM_ClearInjections(void);

/* Makes every processing unit of boardType take microseconds per frame (see
 * VRAX_SIM_BOARD_TIME above); 0 removes it. Applies from the next
 * VRAX_Process. Returns VRAX_RESULT_INVALID_FUNC_PARAMETER for a board type
 * above 7. */
VRAX_API int32_t VRAX_SIM_SetBoardTime(uint32_t boardType, uint32_t microseconds);

/* Sets the number precision of boardType's units: "float", "int8", "int8-io" or "fp16"
 * (see VRAX_SIM_PRECISION above). Applies from the next VRAX_Process.
 * Returns VRAX_RESULT_INVALID_FUNC_PARAMETER for another text or a board
 * type above 7. */
VRAX_API int32_t VRAX_SIM_SetPrecision(uint32_t boardType, const char *precision);

/* Limits the remembered outputs of timed boards to kilobytes (inputs
 * included); 0 goes back to VRAX_SIM_BOARD_CACHE_MB. */
VRAX_API void VRAX_SIM_SetBoardCacheLimit(uint32_t kilobytes);
/* Bytes the remembered outputs take now. */
VRAX_API uint64_t VRAX_SIM_BoardCacheBytes(void);
/* Frames the engine has run (frames answered from memory do not count). */
VRAX_API uint32_t VRAX_SIM_EngineFrameCount(void);

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
