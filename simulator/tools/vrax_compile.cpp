// vrax-compile: compiles an ONNX or DarkNet model into a binary model file
// for the boards, or shows the tensor dimensions of an existing one.
#include "board_tensor_dims.h"
#include "calibration_pictures.h"
#include "model_container.h"
#include "vrax_compiler.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char *const usageText =
    "Usage: vrax-compile [OPTIONS] MODEL\n"
    "       vrax-compile --calibrate DIR [OPTIONS] BINARY_MODEL\n"
    "       vrax-compile --info BINARY_MODEL\n"
    "\n"
    "Compiles an ONNX model (MODEL.onnx or MODEL.pb) or a DarkNet model (MODEL.cfg\n"
    "with its MODEL.weights) into a binary model that the boards and the simulator\n"
    "load as it is, and prints the model's input and output dimensions.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    write the binary model to FILE (default: MODEL with its\n"
    "                       suffix replaced by .vrax)\n"
    "  -b, --board TYPE     board type 0-7 the model is for (default 0, the simulator);\n"
    "                       types 1 and 3 get single-slot models, as the application\n"
    "                       makes them\n"
    "      --single         make a single-slot model (one processing unit)\n"
    "      --multi          make a model that runs on four processing units\n"
    "  -w, --weights FILE   DarkNet weights (default: the cfg path with \"cfg\"\n"
    "                       replaced by \"weights\")\n"
    "  -c, --calibrate DIR  store up to 16 pictures of DIR (in name order) in the\n"
    "                       model for boards that compute in int8 to calibrate on;\n"
    "                       with a binary model, store them in a copy of it\n"
    "      --format F       how pictures become inputs, as in an NN description:\n"
    "                       rgb (default), rbg, grb, gbr, brg, bgr or intensity,\n"
    "      --divider D      each channel value / D (default 255; one number or\n"
    "                       three for red, green, blue)...\n"
    "      --adder A        ... + A (default 0; one number or three)\n"
    "  -i, --info           print the dimensions of the binary model BINARY_MODEL\n"
    "  -h, --help           show this text\n"
    "  -v, --version        show the version\n"
    "\n"
    "Dimensions are printed as width x height x depth, the way the runtime reports\n"
    "them, followed by the network's own shape.\n";

struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// What a path is when it is no regular file or folder: a pipe would block
// the reading, a device read without end. Empty otherwise.
const char *specialKind(const std::string &path)
{
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode))
        return nullptr;
    if (S_ISFIFO(status.st_mode))
        return "a named pipe";
    if (S_ISSOCK(status.st_mode))
        return "a socket";
    if (S_ISCHR(status.st_mode))
        return "a character device";
    return S_ISBLK(status.st_mode) ? "a block device" : "no regular file";
}

std::vector<char> readFile(const std::string &path)
{
    if (const char *kind = specialKind(path))
        throw std::runtime_error(path + " is " + kind + ", not a model file");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw std::runtime_error("cannot read " + path);
    if (bytes.size() > UINT32_MAX)
        throw std::runtime_error(path + " is larger than 4 GiB");
    return bytes;
}

std::string suffixOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return path.substr(dot + 1);
}

std::string withSuffix(const std::string &path, const std::string &suffix)
{
    const std::string old = suffixOf(path);
    return (old.empty() ? path : path.substr(0, path.size() - old.size() - 1)) + "." + suffix;
}

void printTensor(const char *kind, std::size_t index, const ModelTensor &tensor)
{
    const BoardTensorDims dims = boardTensorDims(tensor.shape);
    std::printf("%-6s %zu %-20s %u x %u x %u  (shape %s)\n", kind, index,
                ("\"" + tensor.name + "\"").c_str(), dims.width, dims.height, dims.depth,
                shapeText(tensor.shape).c_str());
}

void printModel(const ModelContainer &model, std::size_t words)
{
    std::printf("source:  %s, %zu words\n",
                model.sourceFormat == ModelSourceFormat::Onnx ? "ONNX" : "DarkNet", words);
    std::printf("units:   %s\n", model.singleSlot ? "single slot (1 processing unit)"
                                                  : "4 processing units");
    for (std::size_t i = 0; i < model.inputs.size(); ++i)
        printTensor("input", i, model.inputs[i]);
    for (std::size_t i = 0; i < model.outputs.size(); ++i)
        printTensor("output", i, model.outputs[i]);
    if (!model.calibration.empty())
        std::printf("calibration: %zu inputs for int8 boards\n", model.calibration.size());
}

std::vector<std::uint32_t> readBinaryModel(const std::string &path)
{
    const std::vector<char> bytes = readFile(path);
    if (bytes.size() % 4 != 0)
        throw std::runtime_error(path + " is not a binary model: its size (" + std::to_string(bytes.size())
                                 + " bytes) is not a whole number of 32-bit words");
    std::vector<std::uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    return words;
}

ModelContainer readModel(const std::vector<std::uint32_t> &words, const std::string &path)
{
    try {
        return readModelContainer(words.data(), words.size());
    } catch (const ModelFormatError &error) {
        throw std::runtime_error(path + " is not a valid binary model: " + error.what());
    }
}

int showInfo(const std::string &path)
{
    const std::vector<std::uint32_t> words = readBinaryModel(path);
    printModel(readModel(words, path), words.size());
    return 0;
}

// What --calibrate asks for.
struct Calibration
{
    std::string folder; // empty: none
    PictureNormalisation normalisation;
};

// The compiler's model, copied, with its buffer handed back.
std::vector<std::uint32_t> takeModel(std::int32_t result, const char *call, std::uint32_t *model,
                                     std::uint32_t modelWords, std::uint32_t boardType)
{
    if (result != VRAX_COMPILER_RESULT_OK)
        throw std::runtime_error(std::string(call) + " failed with code " + std::to_string(result) + ": "
                                 + VRAX_COMPILER_GetLastError());
    const std::vector<std::uint32_t> words(model, model + modelWords);
    VRAX_COMPILER_FreeModel(boardType, model);
    return words;
}

std::vector<std::uint32_t> calibrated(const std::vector<std::uint32_t> &words, const Calibration &calibration,
                                      const std::string &modelPath)
{
    const ModelContainer model = readModel(words, modelPath);
    const CalibrationPictures pictures = readCalibrationPictures(
        calibration.folder, model.inputs[0].shape, calibration.normalisation, ModelFormat::maxCalibrationInputs);
    for (const std::string &skipped : pictures.skipped)
        std::printf("calibration: skipped %s\n", skipped.c_str());
    std::printf("calibration: %zu pictures of %s", pictures.inputs.size(), calibration.folder.c_str());
    if (pictures.inputs.size() + pictures.skipped.size() < pictures.candidates)
        std::printf(" (the first %zu of its %zu files in name order)", pictures.inputs.size() + pictures.skipped.size(),
                    pictures.candidates);
    std::printf("\n");
    std::vector<const float *> inputs;
    for (const std::vector<float> &input : pictures.inputs)
        inputs.push_back(input.data());
    std::uint32_t *result = nullptr;
    std::uint32_t resultWords = 0;
    // The pictures are laid out for the simulator (board type 0).
    const std::int32_t code =
        VRAX_COMPILER_AddCalibration(1, 0, words.data(), static_cast<std::uint32_t>(words.size()), inputs.data(),
                                     static_cast<std::uint32_t>(inputs.size()), &result, &resultWords);
    return takeModel(code, "VRAX_COMPILER_AddCalibration", result, resultWords, 0);
}

int compile(const std::string &modelPath, std::string outputPath, std::string weightsPath,
            bool multiFlag, std::uint32_t boardType, const Calibration &calibration)
{
    const std::string suffix = suffixOf(modelPath);
    std::uint32_t *model = nullptr;
    std::uint32_t modelWords = 0;
    std::int32_t result = 0;
    const char *call = "";
    if (suffix == "onnx" || suffix == "pb") {
        const std::vector<char> onnx = readFile(modelPath);
        call = "VRAX_COMPILER_CompileONNX";
        result = VRAX_COMPILER_CompileONNX(1, multiFlag, onnx.data(), static_cast<std::uint32_t>(onnx.size()),
                                           &model, &modelWords);
    } else if (suffix == "cfg") {
        if (weightsPath.empty())
            weightsPath = modelPath.substr(0, modelPath.size() - 3) + "weights";
        const std::vector<char> cfg = readFile(modelPath);
        const std::vector<char> weights = readFile(weightsPath);
        call = "VRAX_COMPILER_CompileDarkNet";
        result = VRAX_COMPILER_CompileDarkNet(1, multiFlag, cfg.data(), static_cast<std::uint32_t>(cfg.size()),
                                              weights.data(), static_cast<std::uint32_t>(weights.size()),
                                              &model, &modelWords);
    } else if (!calibration.folder.empty()) {
        if (outputPath.empty())
            throw UsageError("give the calibrated copy of " + modelPath + " a name with -o");
    } else {
        throw UsageError(modelPath + ": the model must be an .onnx, .pb or .cfg file");
    }
    std::vector<std::uint32_t> words =
        *call ? takeModel(result, call, model, modelWords, boardType) : readBinaryModel(modelPath);
    if (!calibration.folder.empty())
        words = calibrated(words, calibration, modelPath);
    if (outputPath.empty())
        outputPath = withSuffix(modelPath, "vrax");
    std::ofstream file(outputPath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(words.data()),
               static_cast<std::streamsize>(words.size() * sizeof(std::uint32_t)));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + outputPath);
    std::printf("wrote %s\n", outputPath.c_str());
    printModel(readModelContainer(words.data(), words.size()), words.size());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string modelPath;
    std::string outputPath;
    std::string weightsPath;
    std::uint32_t boardType = 0;
    int multiChoice = -1; // -1: from the board type
    bool info = false;
    Calibration calibration;
    std::string normalisationOption; // the last of --format, --divider, --adder given
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            const auto value = [&]() -> std::string {
                if (i + 1 >= argc)
                    throw UsageError(arg + " needs a value");
                return argv[++i];
            };
            if (arg == "-h" || arg == "--help") {
                std::fputs(usageText, stdout);
                return 0;
            } else if (arg == "-v" || arg == "--version") {
                std::printf("vrax-compile %s\n", VRAX_VERSION);
                return 0;
            } else if (arg == "-o" || arg == "--output") {
                outputPath = value();
            } else if (arg == "-w" || arg == "--weights") {
                weightsPath = value();
            } else if (arg == "-b" || arg == "--board") {
                const std::string type = value();
                if (type.size() != 1 || type[0] < '0' || type[0] > '7')
                    throw UsageError("board type \"" + type + "\" is not a number from 0 to 7");
                boardType = static_cast<std::uint32_t>(type[0] - '0');
            } else if (arg == "--single") {
                multiChoice = 0;
            } else if (arg == "--multi") {
                multiChoice = 1;
            } else if (arg == "-c" || arg == "--calibrate") {
                calibration.folder = value();
            } else if (arg == "--format") {
                normalisationOption = arg;
                calibration.normalisation.format = value();
            } else if (arg == "--divider" || arg == "--adder") {
                normalisationOption = arg;
                const std::string text = value();
                try {
                    (arg == "--divider" ? calibration.normalisation.divider : calibration.normalisation.adder) =
                        parseChannelValues(text);
                } catch (const std::runtime_error &error) {
                    throw UsageError(arg + ": " + error.what());
                }
            } else if (arg == "-i" || arg == "--info") {
                info = true;
            } else if (!arg.empty() && arg[0] == '-') {
                throw UsageError("unknown option " + arg);
            } else if (modelPath.empty()) {
                modelPath = arg;
            } else {
                throw UsageError("more than one model given (" + modelPath + ", " + arg + ")");
            }
        }
        if (modelPath.empty())
            throw UsageError("no model given");
        if (!normalisationOption.empty() && calibration.folder.empty())
            throw UsageError(normalisationOption + " says how calibration pictures become inputs: it goes with --calibrate");
        if (info && !calibration.folder.empty())
            throw UsageError("--info shows a model; --calibrate makes one");
        if (info)
            return showInfo(modelPath);
        // As the application does: single-slot models for board types 1 and 3.
        const bool multiFlag = multiChoice >= 0 ? multiChoice == 1 : ((boardType - 1) & ~2u) != 0;
        return compile(modelPath, outputPath, weightsPath, multiFlag, boardType, calibration);
    } catch (const UsageError &error) {
        std::fprintf(stderr, "vrax-compile: %s\n%.*sTry 'vrax-compile --help'.\n", error.what(),
                     int(std::strchr(usageText, '\n') + 1 - usageText), usageText);
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "vrax-compile: %s\n", error.what());
        return 1;
    }
}
