/* A program of a runtime user, built against the installed package: compiles
 * the classifier example, runs one frame of its star picture on the simulator
 * and prints the class found. Usage: runtime_user VERSION EXAMPLES_FOLDER */
#include <vrax.h>
#include <vrax_compiler.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char *readFile(const char *path, long *size)
{
    FILE *file = fopen(path, "rb");
    char *bytes = NULL;
    if (file && fseek(file, 0, SEEK_END) == 0 && (*size = ftell(file)) > 0 && fseek(file, 0, SEEK_SET) == 0
        && (bytes = malloc((size_t)*size)) != NULL && fread(bytes, 1, (size_t)*size, file) != (size_t)*size) {
        free(bytes);
        bytes = NULL;
    }
    if (file)
        fclose(file);
    if (!bytes)
        fprintf(stderr, "cannot read %s\n", path);
    return bytes;
}

static int fail(const char *call, int32_t result)
{
    fprintf(stderr, "%s failed with code %d\n", call, (int)result);
    return 1;
}

int main(int argc, char **argv)
{
    uint32_t major = 0, minor = 0, patch = 0;
    char version[32], path[4096];
    long onnxSize = 0, pictureSize = 0;
    uint32_t *model = NULL, modelWords = 0, status = VRAX_STATUS_BUSY;
    VRAX_Handle handle = 0;
    VRAX_ModelInfo info;
    int32_t result;

    if (argc != 3)
        return 2;
    VRAX_GetLibVersion(&major, &minor, &patch);
    snprintf(version, sizeof version, "%u.%u.%u", major, minor, patch);
    printf("runtime %s\n", version);
    if (strcmp(version, argv[1]) != 0) {
        fprintf(stderr, "the runtime says %s, its package %s\n", version, argv[1]);
        return 1;
    }

    snprintf(path, sizeof path, "%s/classifier/shapes_classifier.onnx", argv[2]);
    char *onnx = readFile(path, &onnxSize);
    /* The picture as the application prepares it: 96 x 96 x 4 floats. */
    snprintf(path, sizeof path, "%s/classifier/pictures/star.bin", argv[2]);
    char *picture = readFile(path, &pictureSize);
    if (!onnx || !picture)
        return 1;
    result = VRAX_COMPILER_CompileONNX(1, true, onnx, (uint32_t)onnxSize, &model, &modelWords);
    if (result != VRAX_COMPILER_RESULT_OK) {
        fprintf(stderr, "%s\n", VRAX_COMPILER_GetLastError());
        return fail("VRAX_COMPILER_CompileONNX", result);
    }

    const uint32_t *models[VRAX_MODEL_SLOTS] = {model, model, model, model};
    const uint32_t sizes[VRAX_MODEL_SLOTS] = {modelWords, modelWords, modelWords, modelWords};
    if ((result = VRAX_Create(&handle)) != VRAX_RESULT_OK)
        return fail("VRAX_Create", result);
    if ((result = VRAX_Initialize(handle, VRAX_BOARD_SIMULATOR, 0, 0, models, sizes)) != VRAX_RESULT_OK)
        return fail("VRAX_Initialize", result);
    if ((result = VRAX_GetModelInfo(handle, 0, &info)) != VRAX_RESULT_OK)
        return fail("VRAX_GetModelInfo", result);
    /* The simulator takes an even depth: rgb comes with a fourth, zero value. */
    const VRAX_TensorDims in = info.inputs[0];
    const uint32_t depth = (in.depth + 1) / 2 * 2;
    if ((long)(in.width * in.height * depth * sizeof(float)) != pictureSize || info.output_count != 1) {
        fprintf(stderr, "unexpected model: input %ux%ux%u, %u outputs\n", in.width, in.height, in.depth,
                info.output_count);
        return 1;
    }

    const float *inputs[1] = {(const float *)picture};
    if ((result = VRAX_Process(handle, 0, inputs)) != VRAX_RESULT_OK)
        return fail("VRAX_Process", result);
    while (status == VRAX_STATUS_BUSY) /* the runtime waits inside the call */
        if ((result = VRAX_GetStatus(handle, 0, &status)) != VRAX_RESULT_OK)
            return fail("VRAX_GetStatus", result);
    float scores[4];
    float *outputs[1] = {scores};
    double framesPerSecond = 0.0;
    if ((result = VRAX_GetOutput(handle, 0, outputs, &framesPerSecond)) != VRAX_RESULT_OK)
        return fail("VRAX_GetOutput", result);

    static const char *const labels[4] = {"circle", "square", "triangle", "star"};
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (scores[i] > scores[best])
            best = i;
    printf("class %s\n", labels[best]);
    VRAX_Destroy(handle);
    VRAX_COMPILER_FreeModel(0, model);
    free(onnx);
    free(picture);
    return best == 3 ? 0 : 1;
}
