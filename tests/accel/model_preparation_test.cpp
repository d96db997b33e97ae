// Model preparation against the fake compiler, which records what it is given.
#include "accel/model_preparation.h"
#include "fake_runtime.h"
#include "support/failure_message.h"
#include "support/test_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ModelFiles : public ::testing::Test
{
protected:
    void SetUp() override { resetFakeRuntime(); }

    // The last compile call, or an empty record.
    static FakeRuntimeCall lastCompile()
    {
        const auto &calls = fakeRuntime().calls;
        for (auto call = calls.rbegin(); call != calls.rend(); ++call)
            if (call->function.rfind("VRAX_COMPILER_Compile", 0) == 0)
                return *call;
        return FakeRuntimeCall();
    }
    static std::size_t count(const char *function) { return fakeRuntime().callsOf(function).size(); }

    std::string write(const QString &name, const std::string &content)
    {
        return writeTestFile(folder.filePath(name), QByteArray(content.data(), int(content.size()))).toStdString();
    }

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
        resetFakeRuntime();
        const QString name = QString::fromLatin1(file);
        const std::string path = write(name, "1234567890"); // binary models drop the two trailing bytes
        if (name.endsWith(QLatin1String(".cfg")))
            write(name.chopped(3) + QStringLiteral("weights"), "weights!");

        const ModelWords words = prepareModel(BoardType::Slab, path);

        EXPECT_EQ(count("VRAX_COMPILER_CompileONNX"), treatment == Treatment::Onnx ? 1u : 0u);
        EXPECT_EQ(count("VRAX_COMPILER_CompileDarkNet"), treatment == Treatment::DarkNet ? 1u : 0u);
        EXPECT_EQ(lastCompile().moreData, treatment == Treatment::DarkNet ? "weights!" : "");
        if (treatment != Treatment::Binary) {
            EXPECT_EQ(words, fakeRuntime().compiledModel);
        } else {
            EXPECT_EQ(count("VRAX_COMPILER_FreeModel"), 0u);
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
            resetFakeRuntime();
            EXPECT_EQ(prepareModel(BoardType(type), path), fakeRuntime().compiledModel);
            EXPECT_EQ(lastCompile().value, 1u); // the compiler version
            EXPECT_EQ(lastCompile().multiFlag, type != 1 && type != 3) << type << path;
            const auto freed = fakeRuntime().callsOf("VRAX_COMPILER_FreeModel");
            ASSERT_EQ(freed.size(), 1u);
            EXPECT_EQ(freed[0].value, type);
            EXPECT_EQ(freed[0].model, fakeRuntime().compiledModel.data());
        }
    }
    // The last round compiled the DarkNet pair; file contents pass byte for byte.
    EXPECT_EQ(lastCompile().data, "[net]\n");
    EXPECT_EQ(lastCompile().moreData, std::string(13, '\x7f'));
    prepareModel(BoardType::Simulator, onnx);
    EXPECT_EQ(lastCompile().data, std::string("on\0nx", 5));
}

TEST_F(ModelFiles, CompileFailureCarriesTheCompilersTextAndFreesNothing)
{
    const std::string onnx = write(QStringLiteral("m.onnx"), "onnx");
    const std::string cfg = write(QStringLiteral("n.cfg"), "[net]");
    write(QStringLiteral("n.weights"), "w");
    fakeRuntime().fail("VRAX_COMPILER_CompileONNX", VRAX_COMPILER_RESULT_INVALID_MODEL);
    fakeRuntime().compilerError = "node 3 has no inputs";
    EXPECT_EQ(failure(BoardType::Simulator, onnx), "VRAX_COMPILER_RESULT_INVALID_MODEL: node 3 has no inputs");
    fakeRuntime().fail("VRAX_COMPILER_CompileDarkNet", VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION);
    fakeRuntime().compilerError = "layer [yolo4]";
    EXPECT_EQ(failure(BoardType::Wisp, cfg), "VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION: layer [yolo4]");
    EXPECT_EQ(count("VRAX_COMPILER_FreeModel"), 0u);
}

TEST_F(ModelFiles, CalibrationInputsGoToTheCompilerWithTheBoardType)
{
    const ModelWords model = {1, 2, 3, 4, 5};
    EXPECT_EQ(withCalibration(BoardType::Wisp, model, {{0.5f, 0.0f}, {2.0f, 0.0f}}), fakeRuntime().compiledModel);
    const auto calls = fakeRuntime().callsOf("VRAX_COMPILER_AddCalibration");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].value, 3u) << "the board type: its layout";
    EXPECT_EQ(calls[0].unit, 1u) << "the compiler version";
    EXPECT_EQ(calls[0].modelWords, 5u);
    EXPECT_EQ(calls[0].inputs, (std::vector<std::vector<float>>{{0.5f}, {2.0f}}));
    ASSERT_EQ(count("VRAX_COMPILER_FreeModel"), 1u);

    fakeRuntime().fail("VRAX_COMPILER_AddCalibration", VRAX_COMPILER_RESULT_INVALID_PARAMETER);
    fakeRuntime().compilerError = "calibration input 0 holds a value that is not a finite number";
    EXPECT_EQ(failureMessage([&] { withCalibration(BoardType::Simulator, model, {{NAN}}); }),
              "VRAX_COMPILER_RESULT_INVALID_PARAMETER: calibration input 0 holds a value that is not a finite number");
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
        return (*name ? folder.filePath(QString::fromLatin1(name)) : folder.path()).toStdString();
    };
    for (const auto &c : cases)
        EXPECT_EQ(failure(BoardType::Simulator, at(c.file)), c.problem + at(c.named));
    EXPECT_EQ(lastCompile().function, "");
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
    EXPECT_EQ(lastCompile().function, "");
}

} // namespace
