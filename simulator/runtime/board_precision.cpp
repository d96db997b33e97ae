#include "board_precision.h"

#include <algorithm>
#include <cmath>

bool parseBoardPrecision(const std::string &text, BoardPrecision &precision)
{
    if (text == "float")
        precision = BoardPrecision::Float;
    else if (text == "int8")
        precision = BoardPrecision::Int8;
    else if (text == "int8-io")
        precision = BoardPrecision::Int8Io;
    else if (text == "fp16")
        precision = BoardPrecision::Half;
    else
        return false;
    return true;
}

void quantiseInt8(float *values, std::size_t count)
{
    float maxAbs = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::isfinite(values[i]))
            maxAbs = std::max(maxAbs, std::fabs(values[i]));
    }
    if (maxAbs == 0.0f) {
        for (std::size_t i = 0; i < count; ++i)
            values[i] = std::isnan(values[i]) || std::isinf(values[i]) ? 0.0f : values[i];
        return;
    }
    const float scale = maxAbs / 127.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float value = values[i];
        float steps = 0.0f;
        if (std::isinf(value))
            steps = std::copysign(127.0f, value);
        else if (!std::isnan(value))
            steps = std::clamp(std::round(value / scale), -127.0f, 127.0f);
        values[i] = steps * scale;
    }
}

float nearestHalf(float value)
{
    if (!std::isfinite(value))
        return value;
    constexpr float largestHalf = 65504.0f;
    constexpr float smallestNormalHalf = 0x1p-14f;
    const float magnitude = std::fabs(value);
    float rounded = 0.0f;
    if (magnitude >= largestHalf) {
        rounded = largestHalf;
    } else {
        // Halves have 10 fraction bits; below the normal range the step stays
        // that of the smallest exponent. Scaling by powers of two is exact,
        // and nearbyint rounds ties to even.
        int exponent = 0;
        std::frexp(std::max(magnitude, smallestNormalHalf), &exponent);
        const float step = std::ldexp(1.0f, exponent - 11);
        rounded = std::nearbyint(magnitude / step) * step;
    }
    return std::copysign(rounded, value);
}

void quantise(float *values, std::size_t count, BoardPrecision precision)
{
    switch (precision) {
    case BoardPrecision::Float:
    case BoardPrecision::Int8:
        break;
    case BoardPrecision::Int8Io:
        quantiseInt8(values, count);
        break;
    case BoardPrecision::Half:
        for (std::size_t i = 0; i < count; ++i)
            values[i] = nearestHalf(values[i]);
        break;
    }
}
