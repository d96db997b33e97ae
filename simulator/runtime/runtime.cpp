// Board runtime: no boards are served by this build yet.
#include "vrax.h"

extern "C" {

int32_t VRAX_GetLibVersion(uint32_t *major, uint32_t *minor, uint32_t *patch)
{
    if (!major || !minor || !patch)
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    *major = 1;
    *minor = 0;
    *patch = 0;
    return VRAX_RESULT_OK;
}

int32_t VRAX_GetBoardCount(uint32_t, uint32_t *count)
{
    if (!count)
        return VRAX_RESULT_INVALID_FUNC_PARAMETER;
    *count = 0;
    return VRAX_RESULT_OK;
}

int32_t VRAX_Blink(uint32_t, uint32_t) { return VRAX_RESULT_NO_BOARD; }
int32_t VRAX_Create(VRAX_Handle *) { return VRAX_RESULT_NO_BOARD; }
int32_t VRAX_Initialize(VRAX_Handle, uint32_t, uint32_t, uint32_t, const uint32_t *const[4],
                        const uint32_t[4])
{
    return VRAX_RESULT_NO_BOARD;
}
int32_t VRAX_GetModelInfo(VRAX_Handle, uint32_t, VRAX_ModelInfo *) { return VRAX_RESULT_NOT_INITIALIZED; }
int32_t VRAX_Process(VRAX_Handle, uint32_t, const float *const[1]) { return VRAX_RESULT_NOT_INITIALIZED; }
int32_t VRAX_GetStatus(VRAX_Handle, uint32_t, uint32_t *) { return VRAX_RESULT_NOT_INITIALIZED; }
int32_t VRAX_GetOutput(VRAX_Handle, uint32_t, float *const[], double *) { return VRAX_RESULT_NOT_INITIALIZED; }
int32_t VRAX_Destroy(VRAX_Handle) { return VRAX_RESULT_INVALID_FUNC_PARAMETER; }

} // extern "C"
