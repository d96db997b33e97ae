#include "accel/result_check.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

// The fake compiler's explanation, set by each test.
static const char *fakeLastError = "";
extern "C" const char *VRAX_COMPILER_GetLastError(void)
{
    return fakeLastError;
}

namespace {

std::string runtimeMessage(std::int32_t code)
{
    try {
        checkRuntimeResult(code, "VRAX_Test");
    } catch (const std::runtime_error &error) {
        return error.what();
    }
    return "(no exception)";
}

std::string compilerMessage(std::int32_t code)
{
    try {
        checkCompilerResult(code, "VRAX_COMPILER_Test");
    } catch (const std::runtime_error &error) {
        return error.what();
    }
    return "(no exception)";
}

} // namespace

TEST(ResultCheck, SuccessPassesSilently)
{
    EXPECT_NO_THROW(checkRuntimeResult(0, "VRAX_Create"));
    EXPECT_NO_THROW(checkCompilerResult(0, "VRAX_COMPILER_CompileONNX"));
}

TEST(ResultCheck, RuntimeFailureMessageIsExactlyTheCodeName)
{
    EXPECT_EQ(runtimeMessage(1), "VRAX_RESULT_INVALID_FUNC_PARAMETER");
    EXPECT_EQ(runtimeMessage(3), "VRAX_RESULT_NO_BOARD");
    EXPECT_EQ(runtimeMessage(13), "VRAX_RESULT_BOARD_SYNC_ERROR");
    EXPECT_EQ(runtimeMessage(21), "VRAX_RESULT_UNKNOWN_ERROR");
}

TEST(ResultCheck, CodesOutsideTheTablesNameTheirNumber)
{
    EXPECT_EQ(runtimeMessage(22), "Unknown runtime result code 22");
    EXPECT_EQ(runtimeMessage(-1), "Unknown runtime result code -1");
    EXPECT_EQ(runtimeMessage(INT32_MIN), "Unknown runtime result code -2147483648");
    EXPECT_EQ(compilerResultName(6), "Unknown compiler result code 6");
    EXPECT_EQ(compilerResultName(-7), "Unknown compiler result code -7");
}

TEST(ResultCheck, CompilerFailureAppendsTheCompilersExplanation)
{
    fakeLastError = "layer 'x' of type 'Foo' is not supported";
    EXPECT_EQ(compilerMessage(5),
              "VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION: layer 'x' of type 'Foo' is not supported");
    fakeLastError = "";
    EXPECT_EQ(compilerMessage(4), "VRAX_COMPILER_RESULT_INVALID_MODEL: ");
    fakeLastError = nullptr;
    EXPECT_EQ(compilerMessage(1), "VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR: ");
    fakeLastError = "out of range";
    EXPECT_EQ(compilerMessage(99), "Unknown compiler result code 99: out of range");
}
