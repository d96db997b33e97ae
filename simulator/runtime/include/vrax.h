/*
 * VRAX accelerator runtime: the board access library.
 *
 * Plain C interface. Every function returns a result code, 0 (VRAX_RESULT_OK)
 * meaning success. All functions are thread-safe.
 */
#ifndef VRAX_H
#define VRAX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#  define VRAX_API __declspec(dllimport)
#elif defined(__GNUC__)
#  define VRAX_API __attribute__((visibility("default")))
#else
#  define VRAX_API
#endif

/* Result codes. */
enum {
    VRAX_RESULT_OK = 0,
    VRAX_RESULT_INVALID_FUNC_PARAMETER = 1,
    VRAX_RESULT_NO_LOAD_LIBRARY = 2,
    VRAX_RESULT_NO_BOARD = 3,
    VRAX_RESULT_BOARD_RESET_ERROR = 4,
    VRAX_RESULT_INIT_CODE_LOADING_ERROR = 5,
    VRAX_RESULT_CORE_HANDLE_RETRIEVAL_ERROR = 6,
    VRAX_RESULT_FILE_LOADING_ERROR = 7,
    VRAX_RESULT_MEMORY_WRITE_ERROR = 8,
    VRAX_RESULT_MEMORY_READ_ERROR = 9,
    VRAX_RESULT_MEMORY_ALLOCATION_ERROR = 10,
    VRAX_RESULT_MODEL_LOADING_ERROR = 11,
    VRAX_RESULT_INVALID_MODEL = 12,
    VRAX_RESULT_BOARD_SYNC_ERROR = 13,
    VRAX_RESULT_BOARD_MEMORY_ALLOCATION_ERROR = 14,
    VRAX_RESULT_NN_CREATION_ERROR = 15,
    VRAX_RESULT_NN_LOADING_ERROR = 16,
    VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR = 17,
    VRAX_RESULT_MODEL_IS_TOO_BIG = 18,
    VRAX_RESULT_NOT_INITIALIZED = 19,
    VRAX_RESULT_INCOMPLETE = 20,
    VRAX_RESULT_UNKNOWN_ERROR = 21
};

/* Board types, numbered as the boards identify themselves. */
enum {
    VRAX_BOARD_SIMULATOR = 0,
    VRAX_BOARD_TK301_02 = 1,
    VRAX_BOARD_TK307_04 = 2,
    VRAX_BOARD_WISP = 3,
    VRAX_BOARD_SLAB = 4,
    VRAX_BOARD_TIER = 5,
    VRAX_BOARD_RACK = 6,
    VRAX_BOARD_BOLT = 7
};

/* Unit status word: busy while a frame runs. */
enum { VRAX_STATUS_IDLE = 0, VRAX_STATUS_BUSY = 1 };

enum { VRAX_MAX_TENSORS = 8, VRAX_MODEL_SLOTS = 4 };

typedef uint32_t VRAX_Handle;

typedef struct VRAX_TensorDims {
    uint32_t width;
    uint32_t height;
    uint32_t depth;
} VRAX_TensorDims;

/* Tensor shapes of a loaded model (204 bytes). */
typedef struct VRAX_ModelInfo {
    uint32_t single_slot;  /* nonzero: one processing unit (0); zero: units 0..3 */
    uint32_t input_count;  /* at most VRAX_MAX_TENSORS */
    VRAX_TensorDims inputs[VRAX_MAX_TENSORS];
    uint32_t output_count; /* at most VRAX_MAX_TENSORS */
    VRAX_TensorDims outputs[VRAX_MAX_TENSORS];
} VRAX_ModelInfo;

VRAX_API int32_t VRAX_GetLibVersion(uint32_t *major, uint32_t *minor, uint32_t *patch);

/* Number of attached boards of one type (1 to 7). */
VRAX_API int32_t VRAX_GetBoardCount(uint32_t boardType, uint32_t *count);

/* Makes a board identify itself (its lights blink). */
VRAX_API int32_t VRAX_Blink(uint32_t boardType, uint32_t boardIndex);

VRAX_API int32_t VRAX_Create(VRAX_Handle *handle);

/* Opens the board and loads the model. Each of the four slots holds a binary
 * model (models[i], sizes[i] in 32-bit words); the runtime copies them. */
VRAX_API int32_t VRAX_Initialize(VRAX_Handle handle, uint32_t boardType, uint32_t boardIndex,
                                 uint32_t flags, const uint32_t *const models[VRAX_MODEL_SLOTS],
                                 const uint32_t sizes[VRAX_MODEL_SLOTS]);

VRAX_API int32_t VRAX_GetModelInfo(VRAX_Handle handle, uint32_t slot, VRAX_ModelInfo *info);

/* Submits a frame to a unit. The input is copied before the call returns. */
VRAX_API int32_t VRAX_Process(VRAX_Handle handle, uint32_t unit, const float *const inputs[1]);

/* Status of a unit: VRAX_STATUS_BUSY while its frame runs. */
VRAX_API int32_t VRAX_GetStatus(VRAX_Handle handle, uint32_t unit, uint32_t *status);

/* Copies the finished frame's outputs (one buffer per model output, in model
 * order, depth-last) and reports the session's frame rate. */
VRAX_API int32_t VRAX_GetOutput(VRAX_Handle handle, uint32_t unit, float *const outputs[],
                                double *framesPerSecond);

VRAX_API int32_t VRAX_Destroy(VRAX_Handle handle);

#ifdef __cplusplus
}
#endif

#endif /* VRAX_H */
