/*
 * Layer extension of the VRAX runtime: the layers of a session's model with
 * their shapes, parameters and multiply-adds, the time each layer takes, and
 * each layer's output of a unit's last frame (to compare two boards layer by
 * layer).
 *
 * The extension is optional: a runtime need not have it. Programs look its
 * functions up at run time, for example
 *
 *   VRAX_PROFILE_GetLayerCount_Function getLayerCount =
 *       (VRAX_PROFILE_GetLayerCount_Function)dlsym(RTLD_DEFAULT, "VRAX_PROFILE_GetLayerCount");
 *
 * and take a missing function to mean that the runtime gives no layer
 * profile. Every function returns a VRAX result code, 0 meaning success.
 *
 * The layers are those the session's units run, in the order they run them.
 * On a board that computes in int8 they are the quantised network's layers
 * ("ConvolutionInt8", and "Quantize" / "Dequantize" layers between int8 and
 * float ones) once a frame has run in int8; before that, and on every other
 * board, the network's own layers. A layer that the engine merges into the
 * one before it (a normalisation or activation after a convolution) keeps its
 * place in the list and takes no time of its own.
 */
#ifndef VRAX_PROFILE_H
#define VRAX_PROFILE_H

#include <stdint.h>

#include "vrax.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    VRAX_PROFILE_MAX_RANK = 8,
    VRAX_PROFILE_SHAPES = 4,       /* shapes given per layer, each way */
    VRAX_PROFILE_NAME_BYTES = 256, /* longer layer names are cut, NUL included */
    VRAX_PROFILE_TYPE_BYTES = 64
};

/* What VRAX_PROFILE_Enable switches on (bits). */
enum {
    VRAX_PROFILE_TIMES = 1,        /* each layer's time is added up over the frames */
    VRAX_PROFILE_LAYER_OUTPUTS = 2 /* each unit keeps every layer's output of its last frame */
};

typedef struct VRAX_LayerShape {
    uint32_t rank;                        /* 0 when the layer has no such tensor */
    uint32_t dims[VRAX_PROFILE_MAX_RANK]; /* in the network's axis order, e.g. N, C, H, W */
} VRAX_LayerShape;

typedef struct VRAX_LayerInfo {
    char name[VRAX_PROFILE_NAME_BYTES];
    char type[VRAX_PROFILE_TYPE_BYTES];       /* the engine's layer type, e.g. "Convolution" */
    uint32_t input_count;
    VRAX_LayerShape inputs[VRAX_PROFILE_SHAPES];  /* the first inputs */
    uint32_t output_count;
    VRAX_LayerShape outputs[VRAX_PROFILE_SHAPES]; /* the first outputs */
    uint64_t parameters;    /* learned values: weights, biases, normalisation statistics */
    uint64_t multiply_adds; /* per frame; see the runtime's documentation for the count per layer type */
} VRAX_LayerInfo;

/* Number of layers of the session's model. */
VRAX_API int32_t VRAX_PROFILE_GetLayerCount(VRAX_Handle handle, uint32_t *count);

/* Describes layer 0 .. count - 1. */
VRAX_API int32_t VRAX_PROFILE_GetLayerInfo(VRAX_Handle handle, uint32_t layer, VRAX_LayerInfo *info);

/* Switches profiling on (what: VRAX_PROFILE_* bits) or off (0) for the
 * session's units from their next frame, and clears the times gathered so
 * far. Keeping the layers' outputs makes every layer run on its own (none is
 * merged into the one before it) and every frame run on the engine (a timed
 * board answers no input from memory): frames take longer. */
VRAX_API int32_t VRAX_PROFILE_Enable(VRAX_Handle handle, uint32_t what);

/* Each layer's mean time per frame in milliseconds over the frames the
 * engine ran since VRAX_PROFILE_Enable (count: the layer count, milliseconds:
 * room for count values); frames: how many; frameMilliseconds: the mean time
 * the engine took for a whole frame. Frames answered from a timed board's
 * memory do not count. */
VRAX_API int32_t VRAX_PROFILE_GetLayerTimes(VRAX_Handle handle, uint32_t count, double *milliseconds,
                                            uint32_t *frames, double *frameMilliseconds);

/* The same for the last frame the unit ran on the engine while times were
 * on; VRAX_RESULT_NOT_INITIALIZED when it has run none. */
VRAX_API int32_t VRAX_PROFILE_GetUnitLayerTimes(VRAX_Handle handle, uint32_t unit, uint32_t count,
                                                double *milliseconds, double *frameMilliseconds);

/* Copies the output of a layer of the unit's last frame, run while layer
 * outputs were on, as floats in the shape's order, and tells its shape.
 * values may be null to ask for the shape alone; otherwise capacity must hold
 * the output. Int8 layers' outputs are given as the values they stand for.
 * VRAX_RESULT_NOT_INITIALIZED when the unit has no such frame;
 * VRAX_RESULT_INCOMPLETE while its frame runs; VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR
 * for a layer whose output was not kept (an int8 "Quantize" layer's, or the
 * layer list changed since the frame). */
VRAX_API int32_t VRAX_PROFILE_GetLayerOutput(VRAX_Handle handle, uint32_t unit, uint32_t layer, float *values,
                                             uint64_t capacity, VRAX_LayerShape *shape);

/* The functions' types, for programs that look them up. */
typedef int32_t (*VRAX_PROFILE_GetLayerCount_Function)(VRAX_Handle, uint32_t *);
typedef int32_t (*VRAX_PROFILE_GetLayerInfo_Function)(VRAX_Handle, uint32_t, VRAX_LayerInfo *);
typedef int32_t (*VRAX_PROFILE_Enable_Function)(VRAX_Handle, uint32_t);
typedef int32_t (*VRAX_PROFILE_GetLayerTimes_Function)(VRAX_Handle, uint32_t, double *, uint32_t *, double *);
typedef int32_t (*VRAX_PROFILE_GetUnitLayerTimes_Function)(VRAX_Handle, uint32_t, uint32_t, double *, double *);
typedef int32_t (*VRAX_PROFILE_GetLayerOutput_Function)(VRAX_Handle, uint32_t, uint32_t, float *, uint64_t,
                                                        VRAX_LayerShape *);

#ifdef __cplusplus
}
#endif

#endif /* VRAX_PROFILE_H */
