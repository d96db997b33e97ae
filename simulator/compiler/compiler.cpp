// Model compiler: no front end is available in this build yet.
#include "vrax_compiler.h"

extern "C" {

int32_t VRAX_COMPILER_CompileONNX(uint32_t, bool, const void *, uint32_t, uint32_t **, uint32_t *)
{
    return VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
}

int32_t VRAX_COMPILER_CompileDarkNet(uint32_t, bool, const void *, uint32_t, const void *, uint32_t,
                                     uint32_t **, uint32_t *)
{
    return VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
}

int32_t VRAX_COMPILER_FreeModel(uint32_t, uint32_t *) { return VRAX_COMPILER_RESULT_OK; }

const char *VRAX_COMPILER_GetLastError(void) { return "no model compiler front end in this build"; }

} // extern "C"
