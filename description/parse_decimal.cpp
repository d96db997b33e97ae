#include "description/parse_decimal.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <stdexcept>

namespace {

// The "C" locale as a value of its own: strtod_l reads it instead of the
// process locale, which other threads and the toolkit may set at any time.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

} // namespace

double parseDecimal(const std::string &text)
{
    std::string pointed = text;
    std::replace(pointed.begin(), pointed.end(), ',', '.');

    const char *begin = pointed.c_str();
    char *end = nullptr;
    errno = 0;
    const double value = strtod_l(begin, &end, cLocale());
    if (end == begin)
        throw std::invalid_argument("No number in \"" + text + "\"");
    if (errno == ERANGE)
        throw std::out_of_range("Number out of range in \"" + text + "\"");
    return value;
}
