// Raw floating-point values from fuzzer bytes: every bit pattern, NaN and the
// infinities included, which FuzzedDataProvider's own helpers never give.
// Like the provider's integers, they are taken from the end of the input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>

inline double consumeRawDouble(FuzzedDataProvider &provider)
{
    const std::uint64_t bits = provider.ConsumeIntegral<std::uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline float consumeRawFloat(FuzzedDataProvider &provider)
{
    const std::uint32_t bits = provider.ConsumeIntegral<std::uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
