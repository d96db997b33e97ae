// JSON text: numbers in their shortest exact form, and text that parses back
// to the same values.
#include "results/json_text.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <random>

namespace {

struct NumberCase
{
    double value;
    const char *text;
};

TEST(JsonText, NumbersAreWrittenInTheirShortestExactForm)
{
    const NumberCase cases[] = {
        {5.6, "5.6"},                 // the toolkit's writer gave 5.6000000000000005
        {0.1 + 0.2, "0.30000000000000004"},
        {120.004, "120.004"},
        {7.0, "7"},
        {-0.0, "0"},
        {-3.0, "-3"},
        {9007199254740991.0, "9007199254740991"},
        {9007199254740992.0, "9007199254740992"},
        {1e21, "1e+21"},
        {1.5e-7, "1.5e-07"},
        {shortestDouble(0.659001f), "0.659001"},
        {shortestDouble(4.53979e-05f), "4.53979e-05"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const NumberCase &c : cases)
        EXPECT_EQ(jsonText(QJsonArray{c.value}).toStdString(), std::string("[") + c.text + "]") << c.text;
}

// Whatever the double, the text reads back to exactly the same one.
TEST(JsonText, EveryNumberReadsBackExactly)
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    QJsonArray numbers;
    for (int i = 0; i < 2000; ++i)
        numbers.append(std::ldexp(mantissa(random), exponent(random) / 10 * (i % 2 == 0 ? 1 : 10)));
    const QJsonArray read = QJsonDocument::fromJson(jsonText(numbers)).array();
    ASSERT_EQ(read.size(), numbers.size());
    for (int i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(read[i].toDouble(), numbers[i].toDouble()) << i;
}

TEST(JsonText, StringsAndNestingParseBackAsWritten)
{
    const QJsonObject object{{"text", QString::fromUtf8("quote \" back\\slash\ttab\nline \x01 K\xC3\xB6nig")},
                             {"list", QJsonArray{true, false, QJsonValue(), QJsonObject{}, QJsonArray{}}},
                             {"inner", QJsonObject{{"b", 2}, {"a", 1}}}};
    const QByteArray compact = jsonText(object);
    EXPECT_EQ(compact.toStdString(),
              R"({"inner":{"a":1,"b":2},"list":[true,false,null,{},[]],)"
              "\"text\":\"quote \\\" back\\\\slash\\ttab\\nline \\u0001 K\xC3\xB6nig\"}");
    EXPECT_EQ(QJsonDocument::fromJson(compact).object(), object);

    const QByteArray indented = jsonText(object, JsonLayout::Indented);
    EXPECT_EQ(QJsonDocument::fromJson(indented).object(), object);
    EXPECT_TRUE(indented.contains("\n    \"inner\": {\n        \"a\": 1,\n        \"b\": 2\n    },"))
        << indented.toStdString();
}

} // namespace
