// Model preparation against a fake compiler that records what it is given.
#include "accel/model_preparation.h"
#include "support/failure_message.h"
#include "support/test_files.h"

#include <vrax_compiler.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct FakeCompiler
{
    // What the last compile call received.
    int onnxCalls = 0;
    int darkNetCalls = 0;
    std::uint32_t version = 0;
    bool multiFlag = false;
    std::string firstInput;
    std::string secondInput;
    // How it answers.
    std::int32_t result = VRAX_COMPILER_RESULT_OK;
    std::string lastError;
    std::vector<std::uint32_t> model = {0xC0DE0001u, 0xC0DE0002u, 0xC0DE0003u};
    // What FreeModel received.
    int freeCalls = 0;
    std::uint32_t freedBoardType = 99;
    std::uint32_t *freedModel = nullptr;

    std::int32_t answer(std::uint32_t **modelOut, std::uint32_t *modelWords)
    {
        if (result != VRAX_COMPILER_RESULT_OK)
            return result;
        *modelOut = model.data();
        *modelWords = std::uint32_t(model.size());
        return result;
    }
};

FakeCompiler fake;

} // namespace

extern "C" {

int32_t VRAX_COMPILER_CompileONNX(uint32_t version, bool multiFlag, const void *onnx,
                                  uint32_t onnxBytes, uint32_t **model, uint32_t *modelWords)
{
    ++fake.onnxCalls;
    fake.version = version;
    fake.multiFlag = multiFlag;
    fake.firstInput.assign(static_cast<const char *>(onnx), onnxBytes);
    return fake.answer(model, modelWords);
}

int32_t VRAX_COMPILER_CompileDarkNet(uint32_t version, bool multiFlag, const void *cfg,
                                     uint32_t cfgBytes, const void *weights, uint32_t weightsBytes,
                                     uint32_t **model, uint32_t *modelWords)
{
    ++fake.darkNetCalls;
    fake.version = version;
    fake.multiFlag = multiFlag;
    fake.firstInput.assign(static_cast<const char *>(cfg), cfgBytes);
    fake.secondInput.assign(static_cast<const char *>(weights), weightsBytes);
    return fake.answer(model, modelWords);
}

int32_t VRAX_COMPILER_FreeModel(uint32_t boardType, uint32_t *model)
{
    ++fake.freeCalls;
    fake.freedBoardType = boardType;
    fake.freedModel = model;
    return VRAX_COMPILER_RESULT_OK;
}

const char *VRAX_COMPILER_GetLastError(void)
{
    return fake.lastError.c_str();
}

} // extern "C"

namespace {

class ModelFiles : public ::testing::Test
{
protected:
    void SetUp() override { fake = FakeCompiler(); }

    std::string write(const QString &name, const std::string &content)
    {
        return writeTestFile(folder.filePath(name), QByteArray(content.data(), int(content.size()))).toStdString();
    }

    std::string pathOf(const QString &name) const { return folder.filePath(name).toStdString(); }

    static std::string failure(BoardType boardType, const std::string &path)
    {
        return failureMessage([&] { prepareModel(boardType, path); });
    }

    QTemporaryDir folder;
};

TEST_F(ModelFiles, SuffixesChooseTheTreatment)
{
    enum class Treatment { Onnx, DarkNet, Binary };
    const std::pair<const char *, Treatment> cases[] = {
        {"model.onnx", Treatment::Onnx},   {"graph.pb", Treatment::Onnx},         {"net.v2.onnx", Treatment::Onnx},
        {"yolo.cfg", Treatment::DarkNet},  {"model.ONNX", Treatment::Binary},     {"net.CFG", Treatment::Binary},
        {"model.bin", Treatment::Binary},  {"model.onnx.bin", Treatment::Binary}, {"model", Treatment::Binary},
    };
    for (const auto &[file, treatment] : cases) {
        SCOPED_TRACE(file);
        fake = FakeCompiler();
        const QString name = QString::fromLatin1(file);
        const std::string path = write(name, "12345678");
        if (name.endsWith(QLatin1String(".cfg")))
            write(name.chopped(3) + QStringLiteral("weights"), "weights!");

        const ModelWords words = prepareModel(BoardType::Slab, path);

        EXPECT_EQ(fake.onnxCalls, treatment == Treatment::Onnx ? 1 : 0);
        EXPECT_EQ(fake.darkNetCalls, treatment == Treatment::DarkNet ? 1 : 0);
        EXPECT_EQ(fake.secondInput, treatment == Treatment::DarkNet ? "weights!" : "");
        if (treatment != Treatment::Binary) {
            EXPECT_EQ(words, fake.model);
        } else {
            EXPECT_EQ(fake.freeCalls, 0);
            ASSERT_EQ(words.size(), 2u);
            EXPECT_EQ(std::memcmp(words.data(), "12345678", 8), 0);
        }
    }
}

TEST_F(ModelFiles, CompileArgumentsFollowTheBoardType)
{
    const std::string onnx = write(QStringLiteral("m.onnx"), std::string("on\0nx", 5));
    const std::string cfg = write(QStringLiteral("n.cfg"), "[net]\n");
    write(QStringLiteral("n.weights"), std::string(13, '\x7f'));

    for (std::uint32_t type = 0; type <= 7; ++type) {
        for (const std::string &path : {onnx, cfg}) {
            fake = FakeCompiler();
            EXPECT_EQ(prepareModel(BoardType(type), path), fake.model);
            EXPECT_EQ(fake.version, 1u);
            EXPECT_EQ(fake.multiFlag, type != 1 && type != 3) << type << path;
            EXPECT_EQ(fake.freeCalls, 1);
            EXPECT_EQ(fake.freedBoardType, type);
            EXPECT_EQ(fake.freedModel, fake.model.data());
        }
    }
    // The last round compiled the DarkNet pair; file contents pass byte for byte.
    EXPECT_EQ(fake.firstInput, "[net]\n");
    EXPECT_EQ(fake.secondInput, std::string(13, '\x7f'));
    prepareModel(BoardType::Simulator, onnx);
    EXPECT_EQ(fake.firstInput, std::string("on\0nx", 5));
}

TEST_F(ModelFiles, CompileFailureCarriesTheCompilersTextAndFreesNothing)
{
    const std::string onnx = write(QStringLiteral("m.onnx"), "onnx");
    const std::string cfg = write(QStringLiteral("n.cfg"), "[net]");
    write(QStringLiteral("n.weights"), "w");
    fake.result = VRAX_COMPILER_RESULT_INVALID_MODEL;
    fake.lastError = "node 3 has no inputs";
    EXPECT_EQ(failure(BoardType::Simulator, onnx), "VRAX_COMPILER_RESULT_INVALID_MODEL: node 3 has no inputs");
    fake.result = VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION;
    fake.lastError = "layer [yolo4]";
    EXPECT_EQ(failure(BoardType::Wisp, cfg), "VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION: layer [yolo4]");
    EXPECT_EQ(fake.freeCalls, 0);
}

TEST_F(ModelFiles, MissingEmptyAndShortFilesAreNamed)
{
    write(QStringLiteral("unweighted.cfg"), "[net]");
    write(QStringLiteral("net.cfg"), "[net]");
    write(QStringLiteral("net.weights"), "");
    write(QStringLiteral("empty.weights"), "w");
    for (const char *empty : {"empty.onnx", "empty.cfg", "empty.bin"})
        write(QString::fromLatin1(empty), "");
    write(QStringLiteral("short.bin"), "abc");
    const struct
    {
        const char *file, *problem, *named; // an empty name stands for the folder itself
    } cases[] = {
        {"absent.cfg", "Unable to open input file: ", "absent.cfg"},
        {"unweighted.cfg", "Unable to open input file: ", "unweighted.weights"}, // the cfg is read first
        {"absent.onnx", "Unable to open input file: ", "absent.onnx"},
        {"absent.bin", "Unable to open input file: ", "absent.bin"},
        {"", "Unable to open input file: ", ""},
        {"empty.onnx", "Model file is empty: ", "empty.onnx"},
        {"empty.cfg", "Model file is empty: ", "empty.cfg"},
        {"net.cfg", "Model file is empty: ", "net.weights"},
        {"empty.bin", "Model file is empty: ", "empty.bin"},
        {"short.bin", "Model file is shorter than one 32-bit word: ", "short.bin"},
    };
    const auto at = [this](const char *name) {
        return *name ? pathOf(QString::fromLatin1(name)) : folder.path().toStdString();
    };
    for (const auto &c : cases)
        EXPECT_EQ(failure(BoardType::Simulator, at(c.file)), c.problem + at(c.named));
    EXPECT_EQ(fake.onnxCalls + fake.darkNetCalls, 0);
}

TEST_F(ModelFiles, FilesBeyondFourGibibytesAreRefusedBeforeReading)
{
    // Sparse files: nothing of their size is written or read.
    for (const QString &name : {QStringLiteral("huge.onnx"), QStringLiteral("huge.bin")}) {
        const std::string path = write(name, "");
        QFile file(QString::fromStdString(path));
        if (!file.resize(qint64(1) << 32))
            GTEST_SKIP() << "no sparse files here";
        EXPECT_EQ(failure(BoardType::Simulator, path), "Model file is larger than 4 GiB: " + path);
        file.remove();
    }
    EXPECT_EQ(fake.onnxCalls, 0);
}

TEST_F(ModelFiles, PlainReadersKeepWholeWords)
{
    const std::string ten = write(QStringLiteral("ten.bin"), "0123456789");
    const ModelWords words = readFileWords(ten);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(std::memcmp(words.data(), "01234567", 8), 0);
    EXPECT_EQ(readFileBytes(ten), std::vector<char>(std::begin("0123456789"), std::end("0123456789") - 1));
    EXPECT_TRUE(readFileWords(write(QStringLiteral("three"), "abc")).empty());
    EXPECT_TRUE(readFileBytes(write(QStringLiteral("none"), "")).empty());
    EXPECT_EQ(prepareModel(BoardType::Simulator, ten), words);
}

} // namespace
