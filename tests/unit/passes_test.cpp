#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "main.hpp"

namespace {

// The passes value reads a number as atoi does; what does not fit an int stops at its
// nearest end instead of wrapping into a number of the other sign.
TEST(ParsePasses, ReadsLeadingNumberAndClampsToTheRangeOfInt)
{
    const struct {
        const char* text;
        int passes;
    } cases[] = {
        {"3", 3},
        {"0", 0},
        {"-2", -2},
        {"x", 0},
        {"", 0},
        {"  7", 7},
        {"+5", 5},
        {"12abc", 12},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"4294967297", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_passes(c.text), c.passes) << '"' << c.text << '"';
}

}  // namespace
