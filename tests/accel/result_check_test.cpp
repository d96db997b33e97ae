#include "accel/result_check.h"
#include "fake_runtime.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <string>

TEST(ResultCheck, RuntimeFailureMessageIsExactlyTheCodeName)
{
    EXPECT_NO_THROW(checkRuntimeResult(0, "VRAX_Create"));
    const std::pair<std::int32_t, std::string> cases[] = {
        {1, "VRAX_RESULT_INVALID_FUNC_PARAMETER"}, {3, "VRAX_RESULT_NO_BOARD"},
        {13, "VRAX_RESULT_BOARD_SYNC_ERROR"},      {21, "VRAX_RESULT_UNKNOWN_ERROR"},
        {22, "Unknown runtime result code 22"},    {-1, "Unknown runtime result code -1"},
        {INT32_MIN, "Unknown runtime result code -2147483648"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(failureMessage([&c] { checkRuntimeResult(c.first, "VRAX_Test"); }), c.second);
}

TEST(ResultCheck, CompilerFailureAppendsTheCompilersExplanation)
{
    EXPECT_NO_THROW(checkCompilerResult(0, "VRAX_COMPILER_CompileONNX"));
    EXPECT_EQ(compilerResultName(6), "Unknown compiler result code 6");
    EXPECT_EQ(compilerResultName(-7), "Unknown compiler result code -7");
    const struct
    {
        std::int32_t code;
        const char *explanation;
        std::string message;
    } cases[] = {
        {5, "layer 'x' of type 'Foo' is not supported",
         "VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION: layer 'x' of type 'Foo' is not supported"},
        {4, "", "VRAX_COMPILER_RESULT_INVALID_MODEL: "},
        {1, nullptr, "VRAX_COMPILER_RESULT_MEMORY_ALLOCATION_ERROR: "},
        {99, "out of range", "Unknown compiler result code 99: out of range"},
    };
    for (const auto &c : cases) {
        fakeRuntime().compilerError = c.explanation;
        EXPECT_EQ(failureMessage([&c] { checkCompilerResult(c.code, "VRAX_COMPILER_Test"); }), c.message);
    }
}
