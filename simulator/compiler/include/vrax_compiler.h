/*
 * VRAX model compiler: turns ONNX and DarkNet models into binary models of
 * 32-bit words that the runtime loads onto a board.
 *
 * Plain C interface. Every compile function returns a result code, 0 meaning
 * success; on failure VRAX_COMPILER_GetLastError explains it.
 */
#ifndef VRAX_COMPILER_H
#define VRAX_COMPILER_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#  define VRAX_COMPILER_API __declspec(dllimport)
#elif defined(__GNUC__)
#  define VRAX_COMPILER_API __attribute__((visibility("default")))
#else
#  define VRAX_COMPILER_API
#endif

enum {
    VRAX_COMPILER_RESULT_OK = 0,
    VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR = 1,
    VRAX_COMPILER_RESULT_MODEL_LOADING_ERROR = 2,
    VRAX_COMPILER_RESULT_INVALID_PARAMETER = 3,
    VRAX_COMPILER_RESULT_INVALID_MODEL = 4,
    VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION = 5
};

/* version: interface version, always 1.
 * multiFlag: false makes a single-slot model (one processing unit per board);
 *            true a model that the board runs on four units.
 * On success *model points to the compiled model (owned by the compiler,
 * released with VRAX_COMPILER_FreeModel) and *modelWords is its length. */
VRAX_COMPILER_API int32_t VRAX_COMPILER_CompileONNX(uint32_t version, bool multiFlag,
                                                    const void *onnx, uint32_t onnxBytes,
                                                    uint32_t **model, uint32_t *modelWords);

VRAX_COMPILER_API int32_t VRAX_COMPILER_CompileDarkNet(uint32_t version, bool multiFlag,
                                                       const void *cfg, uint32_t cfgBytes,
                                                       const void *weights, uint32_t weightsBytes,
                                                       uint32_t **model, uint32_t *modelWords);

/* Stores calibration inputs in a binary model: a board that computes in int8
 * takes the scales of its activations from them. inputs holds inputCount
 * inputs (1 to 16), each laid out as VRAX_Process takes it on boards of
 * boardType, every value finite. model is any binary model of modelWords
 * words; inputs it already holds are replaced. On success *calibrated points
 * to the new model (owned by the compiler, released with
 * VRAX_COMPILER_FreeModel) and *calibratedWords is its length. */
VRAX_COMPILER_API int32_t VRAX_COMPILER_AddCalibration(uint32_t version, uint32_t boardType,
                                                       const uint32_t *model, uint32_t modelWords,
                                                       const float *const inputs[], uint32_t inputCount,
                                                       uint32_t **calibrated, uint32_t *calibratedWords);

VRAX_COMPILER_API int32_t VRAX_COMPILER_FreeModel(uint32_t boardType, uint32_t *model);

/* Explanation of the calling thread's last failure; never null. */
VRAX_COMPILER_API const char *VRAX_COMPILER_GetLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* VRAX_COMPILER_H */
