// Numbers of the description file: a point or a comma, whatever the locale.
#include "description/description_reader.h"
#include "description/parse_decimal.h"
#include "support/failure_message.h"

#include <QProcess>
#include <QTemporaryDir>

#include <tinyxml2.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale>
#include <stdexcept>
#include <string>

namespace {

struct Conversion
{
    const char *text;
    double value;
};

const Conversion conversions[] = {
    {"0.5", 0.5},   {"0,5", 0.5},       {"12abc", 12.0},  {" \t\n7", 7.0},  {"+3", 3.0},
    {"-2,25", -2.25}, {"1,5e2", 150.0}, {",25", 0.25},    {"1,000", 1.0},   {"1.5.3", 1.5},
    {"0x10", 16.0}, {"1e308", 1e308},   {"inf", std::numeric_limits<double>::infinity()},
};

const char *const invalidTexts[] = {"", "abc", " ", "\t", ".", ",", "-", "e5"};
const char *const outOfRangeTexts[] = {"1e400", "-1e400", "1,7976931348623159e308"};

void expectConversions()
{
    for (const Conversion &c : conversions)
        EXPECT_EQ(parseDecimal(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isnan(parseDecimal("nan")));
    for (const char *text : invalidTexts)
        EXPECT_THROW(parseDecimal(text), std::invalid_argument) << '"' << text << '"';
    for (const char *text : outOfRangeTexts)
        EXPECT_THROW(parseDecimal(text), std::out_of_range) << text;
}

std::string invalidDividerMessage()
{
    tinyxml2::XMLDocument document;
    document.Parse("<input><divider>abc</divider></input>");
    double value = 0.0;
    return failureMessage([&] {
        readNumber(document.FirstChildElement("input"), "divider", value, std::numeric_limits<double>::lowest(),
                   std::numeric_limits<double>::max());
    });
}

// Makes a locale whose decimal separator is a comma available to this process,
// compiled into a temporary folder so that the machine needs none installed.
class CommaLocale : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        const QString target = folder.filePath(QStringLiteral("de_DE.UTF-8"));
        const int status = QProcess::execute(
            QStringLiteral("localedef"),
            {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
             QStringLiteral("UTF-8"), target});
        if (status != 0)
            GTEST_SKIP() << "localedef cannot build de_DE.UTF-8 here (status " << status << ")";
        setenv("LOCPATH", folder.path().toLocal8Bit().constData(), 1);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            GTEST_SKIP() << "de_DE.UTF-8 cannot be set";
    }

    void TearDown() override
    {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }

    QTemporaryDir folder;
};

TEST(ParseDecimal, ConvertsWithPointOrCommaLeavingTheProcessLocaleAlone)
{
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const std::string globalBefore = std::locale().name();
    expectConversions();
    invalidDividerMessage();
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
    EXPECT_EQ(std::locale().name(), globalBefore);
}

TEST_F(CommaLocale, ResultsDoNotDependOnTheLocale)
{
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    expectConversions();

    // The bounds of the message are printed with a point under any locale.
    const std::string message = invalidDividerMessage();
    EXPECT_EQ(message.find(','), std::string::npos);
    EXPECT_EQ(message.substr(message.size() - 8), ".000000)");

    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "de_DE.UTF-8");
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
}

} // namespace
