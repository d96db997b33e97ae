#include "accel/model_preparation.h"

#include "accel/accelerator.h"
#include "accel/result_check.h"
#include "files/regular_file.h"

#include <QFileInfo>
#include <QString>

#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace {

// The compiler takes byte counts as 32-bit numbers; no model comes near this.
constexpr std::uint64_t maxModelFileBytes = std::numeric_limits<std::uint32_t>::max();

// Opens path for reading and tells its size.
std::ifstream openInput(const std::string &path, std::uint64_t &size)
{
    checkRegularFile(path, "model file");
    std::error_code error;
    std::ifstream file;
    if (!std::filesystem::is_directory(path, error))
        file.open(path, std::ios::binary | std::ios::ate);
    const std::streamoff end = file ? std::streamoff(file.tellg()) : -1;
    if (end < 0)
        throw std::runtime_error("Unable to open input file: " + path);
    size = std::uint64_t(end);
    file.seekg(0);
    return file;
}

void readExactly(std::ifstream &file, char *target, std::uint64_t count, const std::string &path)
{
    if (count > 0 && !file.read(target, std::streamsize(count)))
        throw std::runtime_error("Unable to read input file: " + path);
}

// A model file must hold something and stay within what the libraries count.
void checkModelFileSize(std::uint64_t size, const std::string &path)
{
    if (size == 0)
        throw std::runtime_error("Model file is empty: " + path);
    if (size > maxModelFileBytes)
        throw std::runtime_error("Model file is larger than 4 GiB: " + path);
}

std::vector<char> readModelBytes(const std::string &path)
{
    std::uint64_t size = 0;
    std::ifstream file = openInput(path, size);
    checkModelFileSize(size, path);
    std::vector<char> bytes(size);
    readExactly(file, bytes.data(), size, path);
    return bytes;
}

ModelWords readModelWords(const std::string &path)
{
    std::uint64_t size = 0;
    std::ifstream file = openInput(path, size);
    checkModelFileSize(size, path);
    if (size < sizeof(std::uint32_t))
        throw std::runtime_error("Model file is shorter than one 32-bit word: " + path);
    ModelWords words(size / sizeof(std::uint32_t));
    readExactly(file, reinterpret_cast<char *>(words.data()), words.size() * sizeof(std::uint32_t),
                path);
    return words;
}

// Copies the compiler's model and hands its buffer back, even when the copy fails.
ModelWords takeCompiledModel(BoardType boardType, std::uint32_t *model, std::uint32_t modelWords)
{
    struct FreeModel
    {
        BoardType boardType;
        std::uint32_t *model;
        ~FreeModel() { VRAX_COMPILER_FreeModel(std::uint32_t(boardType), model); }
    } release{boardType, model};
    if (!model && modelWords > 0)
        throw std::runtime_error("The model compiler returned no model");
    return ModelWords(model, model + modelWords);
}

} // namespace

std::vector<std::string> modelFiles(const std::string &modelPath)
{
    if (QFileInfo(QString::fromStdString(modelPath)).suffix() == QLatin1String("cfg"))
        return {modelPath, modelPath.substr(0, modelPath.size() - 3) + "weights"};
    return {modelPath};
}

ModelWords prepareModel(BoardType boardType, const std::string &modelPath)
{
    const QString suffix = QFileInfo(QString::fromStdString(modelPath)).suffix();
    const bool multiFlag = multiFlagFor(boardType);
    std::uint32_t *model = nullptr;
    std::uint32_t modelWords = 0;

    if (suffix == QLatin1String("pb") || suffix == QLatin1String("onnx")) {
        const std::vector<char> onnx = readModelBytes(modelPath);
        checkCompilerResult(VRAX_COMPILER_CompileONNX(1, multiFlag, onnx.data(),
                                                      std::uint32_t(onnx.size()), &model,
                                                      &modelWords),
                            "VRAX_COMPILER_CompileONNX");
        return takeCompiledModel(boardType, model, modelWords);
    }

    if (suffix == QLatin1String("cfg")) {
        const std::vector<char> cfg = readModelBytes(modelPath);
        const std::vector<char> weights = readModelBytes(modelFiles(modelPath).back());
        checkCompilerResult(VRAX_COMPILER_CompileDarkNet(1, multiFlag, cfg.data(),
                                                         std::uint32_t(cfg.size()), weights.data(),
                                                         std::uint32_t(weights.size()), &model,
                                                         &modelWords),
                            "VRAX_COMPILER_CompileDarkNet");
        return takeCompiledModel(boardType, model, modelWords);
    }

    return readModelWords(modelPath);
}

ModelWords withCalibration(BoardType boardType, const ModelWords &model,
                           const std::vector<std::vector<float>> &inputs)
{
    std::vector<const float *> pointers;
    for (const std::vector<float> &input : inputs)
        pointers.push_back(input.data());
    std::uint32_t *calibrated = nullptr;
    std::uint32_t calibratedWords = 0;
    checkCompilerResult(VRAX_COMPILER_AddCalibration(1, std::uint32_t(boardType), model.data(),
                                                     std::uint32_t(model.size()), pointers.data(),
                                                     std::uint32_t(pointers.size()), &calibrated,
                                                     &calibratedWords),
                        "VRAX_COMPILER_AddCalibration");
    return takeCompiledModel(boardType, calibrated, calibratedWords);
}
