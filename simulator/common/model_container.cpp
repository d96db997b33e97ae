#include "model_container.h"

#include <cmath>
#include <cstring>

namespace {

std::uint32_t checksum(const std::uint32_t *words, std::size_t count)
{
    // FNV-1a over whole words: cheap, and any flipped or swapped word shows.
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < count; ++i) {
        hash ^= words[i];
        hash *= 16777619u;
    }
    return hash;
}

std::size_t wordsForBytes(std::uint64_t bytes)
{
    return static_cast<std::size_t>((bytes + 3) / 4);
}

void checkName(const std::string &name, const std::string &what)
{
    if (name.size() > ModelFormat::maxNameBytes)
        throw ModelFormatError(what + " has a name longer than "
                               + std::to_string(ModelFormat::maxNameBytes) + " bytes");
    if (name.find('\0') != std::string::npos)
        throw ModelFormatError(what + " has a name with a NUL character");
}

// Calibration inputs: 1 to maxCalibrationInputs of them, within the value
// limit; each is checked for size and finite values by checkCalibrationInput.
void checkCalibrationCount(std::uint64_t count, std::uint64_t valuesEach)
{
    if (count == 0 || count > ModelFormat::maxCalibrationInputs)
        throw ModelFormatError("a model has 1 to " + std::to_string(ModelFormat::maxCalibrationInputs)
                               + " calibration inputs, this one has " + std::to_string(count));
    if (count * valuesEach > ModelFormat::maxCalibrationValues)
        throw ModelFormatError("the calibration inputs hold more than "
                               + std::to_string(ModelFormat::maxCalibrationValues) + " values");
}

void checkCalibrationInput(const std::vector<float> &values, std::uint64_t expected, std::size_t index)
{
    if (values.size() != expected)
        throw ModelFormatError("calibration input " + std::to_string(index) + " has "
                               + std::to_string(values.size()) + " values where the input has "
                               + std::to_string(expected));
    for (float value : values) {
        if (!std::isfinite(value))
            throw ModelFormatError("calibration input " + std::to_string(index)
                                   + " holds a value that is not a finite number");
    }
}

class WordWriter
{
public:
    void put(std::uint32_t word) { words.push_back(word); }

    void putBytes(const std::uint8_t *data, std::size_t size)
    {
        put(static_cast<std::uint32_t>(size));
        const std::size_t first = words.size();
        words.resize(first + wordsForBytes(size), 0u);
        if (size > 0)
            std::memcpy(words.data() + first, data, size);
    }

    void putTensor(const ModelTensor &tensor)
    {
        putBytes(reinterpret_cast<const std::uint8_t *>(tensor.name.data()), tensor.name.size());
        put(static_cast<std::uint32_t>(tensor.shape.size()));
        for (std::uint32_t dim : tensor.shape)
            put(dim);
    }

    std::vector<std::uint32_t> words;
};

class WordReader
{
public:
    WordReader(const std::uint32_t *words, std::size_t count) : words(words), count(count) {}

    std::size_t position() const { return next; }
    std::size_t remaining() const { return count - next; }

    std::uint32_t take(const char *what)
    {
        if (next >= count)
            throw ModelFormatError(std::string("the model ends before its ") + what
                                   + " (truncated at word " + std::to_string(count) + ")");
        return words[next++];
    }

    std::vector<std::uint8_t> takeBytes(const std::string &what, std::uint64_t limit)
    {
        const std::uint32_t size = take((what + " size").c_str());
        if (size > limit)
            throw ModelFormatError(what + " claims " + std::to_string(size)
                                   + " bytes, more than the " + std::to_string(limit)
                                   + " allowed");
        const std::size_t wordCount = wordsForBytes(size);
        if (wordCount > remaining())
            throw ModelFormatError(what + " claims " + std::to_string(size)
                                   + " bytes but the model ends after "
                                   + std::to_string(remaining() * 4) + " more bytes");
        std::vector<std::uint8_t> bytes(size);
        if (size > 0)
            std::memcpy(bytes.data(), words + next, size);
        // The padding of the last word must be zero: anything else means the
        // size word is wrong.
        for (std::size_t i = size; i < wordCount * 4; ++i) {
            if (reinterpret_cast<const std::uint8_t *>(words + next)[i] != 0)
                throw ModelFormatError(what + " has non-zero padding after its "
                                       + std::to_string(size) + " bytes");
        }
        next += wordCount;
        return bytes;
    }

    // The calibration inputs, each of valuesEach floats.
    std::vector<std::vector<float>> takeCalibration(std::uint64_t valuesEach)
    {
        const std::uint32_t count = take("calibration input count");
        checkCalibrationCount(count, valuesEach);
        if (count * valuesEach > remaining())
            throw ModelFormatError("the model claims " + std::to_string(count)
                                   + " calibration inputs but ends before them");
        std::vector<std::vector<float>> inputs(count, std::vector<float>(valuesEach));
        for (std::uint32_t i = 0; i < count; ++i) {
            std::memcpy(inputs[i].data(), words + next, valuesEach * sizeof(float));
            next += valuesEach;
            checkCalibrationInput(inputs[i], valuesEach, i);
        }
        return inputs;
    }

    ModelTensor takeTensor(const std::string &what)
    {
        ModelTensor tensor;
        const std::vector<std::uint8_t> name = takeBytes(what + " name", ModelFormat::maxNameBytes);
        tensor.name.assign(name.begin(), name.end());
        checkName(tensor.name, what);
        const std::uint32_t rank = take((what + " rank").c_str());
        if (rank == 0 || rank > ModelFormat::maxRank)
            throw ModelFormatError(what + " has rank " + std::to_string(rank) + "; ranks 1 to "
                                   + std::to_string(ModelFormat::maxRank) + " are allowed");
        for (std::uint32_t axis = 0; axis < rank; ++axis)
            tensor.shape.push_back(take((what + " shape").c_str()));
        checkTensorShape(tensor.shape, what);
        return tensor;
    }

private:
    const std::uint32_t *words;
    std::size_t count;
    std::size_t next = 0;
};

std::string tensorLabel(const char *kind, std::size_t index)
{
    return std::string(kind) + " " + std::to_string(index);
}

} // namespace

void checkTensorShape(const std::vector<std::uint32_t> &shape, const std::string &what)
{
    if (shape.empty() || shape.size() > ModelFormat::maxRank)
        throw ModelFormatError(what + " has rank " + std::to_string(shape.size())
                               + "; ranks 1 to " + std::to_string(ModelFormat::maxRank)
                               + " are allowed");
    std::uint64_t elements = 1;
    for (std::uint32_t dim : shape) {
        if (dim == 0)
            throw ModelFormatError(what + " has a dimension of 0");
        elements *= dim;
        if (elements > ModelFormat::maxTensorElements)
            throw ModelFormatError(what + " is too large (more than "
                                   + std::to_string(ModelFormat::maxTensorElements)
                                   + " values)");
    }
}

std::uint64_t shapeElementCount(const std::vector<std::uint32_t> &shape)
{
    std::uint64_t elements = 1;
    for (std::uint32_t dim : shape)
        elements *= dim;
    return elements;
}

std::string shapeText(const std::vector<std::uint32_t> &shape)
{
    std::string text;
    for (std::size_t axis = 0; axis < shape.size(); ++axis) {
        if (axis > 0)
            text += 'x';
        text += std::to_string(shape[axis]);
    }
    return text.empty() ? std::string("scalar") : text;
}

std::vector<std::uint32_t> writeModelContainer(const ModelContainer &model)
{
    if (model.inputs.empty() || model.inputs.size() > ModelFormat::maxInputs)
        throw ModelFormatError("a model has exactly one input, this one has "
                               + std::to_string(model.inputs.size()));
    if (model.outputs.empty() || model.outputs.size() > ModelFormat::maxOutputs)
        throw ModelFormatError("a model has 1 to " + std::to_string(ModelFormat::maxOutputs)
                               + " outputs, this one has "
                               + std::to_string(model.outputs.size()));
    for (std::size_t i = 0; i < model.inputs.size(); ++i) {
        checkName(model.inputs[i].name, tensorLabel("input", i));
        checkTensorShape(model.inputs[i].shape, tensorLabel("input", i));
    }
    for (std::size_t i = 0; i < model.outputs.size(); ++i) {
        checkName(model.outputs[i].name, tensorLabel("output", i));
        checkTensorShape(model.outputs[i].shape, tensorLabel("output", i));
    }
    if (model.network.empty() || model.network.size() > UINT32_MAX
        || model.weights.size() > UINT32_MAX)
        throw ModelFormatError("the network data is empty or larger than 4 GiB");
    if (model.sourceFormat == ModelSourceFormat::Onnx && !model.weights.empty())
        throw ModelFormatError("an ONNX model carries no separate weights");
    const std::uint64_t inputValues = shapeElementCount(model.inputs[0].shape);
    if (!model.calibration.empty()) {
        checkCalibrationCount(model.calibration.size(), inputValues);
        for (std::size_t i = 0; i < model.calibration.size(); ++i)
            checkCalibrationInput(model.calibration[i], inputValues, i);
    }

    WordWriter writer;
    writer.put(ModelFormat::magic);
    writer.put(ModelFormat::version);
    writer.put(0); // total word count, filled in below
    writer.put(static_cast<std::uint32_t>(model.sourceFormat));
    writer.put((model.singleSlot ? ModelFormat::singleSlotFlag : 0u)
               | (model.calibration.empty() ? 0u : ModelFormat::calibrationFlag));
    writer.put(static_cast<std::uint32_t>(model.inputs.size()));
    for (const ModelTensor &tensor : model.inputs)
        writer.putTensor(tensor);
    writer.put(static_cast<std::uint32_t>(model.outputs.size()));
    for (const ModelTensor &tensor : model.outputs)
        writer.putTensor(tensor);
    writer.putBytes(model.network.data(), model.network.size());
    writer.putBytes(model.weights.data(), model.weights.size());
    if (!model.calibration.empty()) {
        writer.put(static_cast<std::uint32_t>(model.calibration.size()));
        for (const std::vector<float> &input : model.calibration) {
            const std::size_t first = writer.words.size();
            writer.words.resize(first + input.size());
            std::memcpy(writer.words.data() + first, input.data(), input.size() * sizeof(float));
        }
    }
    writer.words[2] = static_cast<std::uint32_t>(writer.words.size() + 1);
    writer.put(checksum(writer.words.data(), writer.words.size()));
    return std::move(writer.words);
}

ModelContainer readModelContainer(const std::uint32_t *words, std::size_t wordCount)
{
    if (!words || wordCount == 0)
        throw ModelFormatError("the model is empty");
    WordReader reader(words, wordCount);
    if (reader.take("magic word") != ModelFormat::magic)
        throw ModelFormatError("not a binary model (wrong magic word)");
    const std::uint32_t version = reader.take("format version");
    if (version != ModelFormat::version)
        throw ModelFormatError("binary model format version " + std::to_string(version)
                               + " is not supported (this runtime reads version "
                               + std::to_string(ModelFormat::version) + ")");
    const std::uint32_t declaredWords = reader.take("length");
    if (declaredWords != wordCount)
        throw ModelFormatError("the model says it has " + std::to_string(declaredWords)
                               + " words but " + std::to_string(wordCount)
                               + " were given (truncated or padded)");

    ModelContainer model;
    const std::uint32_t source = reader.take("source format");
    if (source != static_cast<std::uint32_t>(ModelSourceFormat::Onnx)
        && source != static_cast<std::uint32_t>(ModelSourceFormat::DarkNet))
        throw ModelFormatError("unknown network source format " + std::to_string(source));
    model.sourceFormat = static_cast<ModelSourceFormat>(source);
    const std::uint32_t flags = reader.take("flags");
    if ((flags & ~(ModelFormat::singleSlotFlag | ModelFormat::calibrationFlag)) != 0)
        throw ModelFormatError("unknown flags " + std::to_string(flags));
    model.singleSlot = (flags & ModelFormat::singleSlotFlag) != 0;

    const std::uint32_t inputCount = reader.take("input count");
    if (inputCount == 0 || inputCount > ModelFormat::maxInputs)
        throw ModelFormatError("a model has exactly one input, this one claims "
                               + std::to_string(inputCount));
    for (std::uint32_t i = 0; i < inputCount; ++i)
        model.inputs.push_back(reader.takeTensor(tensorLabel("input", i)));
    const std::uint32_t outputCount = reader.take("output count");
    if (outputCount == 0 || outputCount > ModelFormat::maxOutputs)
        throw ModelFormatError("a model has 1 to " + std::to_string(ModelFormat::maxOutputs)
                               + " outputs, this one claims " + std::to_string(outputCount));
    for (std::uint32_t i = 0; i < outputCount; ++i)
        model.outputs.push_back(reader.takeTensor(tensorLabel("output", i)));

    model.network = reader.takeBytes("the network data", UINT32_MAX);
    if (model.network.empty())
        throw ModelFormatError("the network data is empty");
    model.weights = reader.takeBytes("the weights", UINT32_MAX);
    if (model.sourceFormat == ModelSourceFormat::Onnx && !model.weights.empty())
        throw ModelFormatError("an ONNX model carries no separate weights");
    if (flags & ModelFormat::calibrationFlag)
        model.calibration = reader.takeCalibration(shapeElementCount(model.inputs[0].shape));

    if (reader.remaining() != 1)
        throw ModelFormatError("the model has " + std::to_string(reader.remaining())
                               + " words where only the checksum should be left");
    const std::size_t checksumPosition = reader.position();
    if (reader.take("checksum") != checksum(words, checksumPosition))
        throw ModelFormatError("the model's checksum does not match its contents (corrupted)");
    return model;
}
