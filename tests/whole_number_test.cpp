// The "%d" reading of whole numbers that the PCP header, the order prompt,
// the --order option and the front-end's settings share.
#include <fitcore/whole_number.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using fitcore::WholeNumberStatus;

TEST(WholeNumberReader, TakesASignThenDigitsAndClampsBeyondThirtyTwoBits)
{
    const struct {
        std::string text;
        std::size_t taken;  // characters the reader takes before it refuses one
        WholeNumberStatus status;
        int32_t value;
    } cases[] = {
        {"42 ", 2, WholeNumberStatus::Ok, 42},
        {"+7x", 2, WholeNumberStatus::Ok, 7},
        {"-0012", 5, WholeNumberStatus::Ok, -12},
        {"2147483647", 10, WholeNumberStatus::Ok, INT32_MAX},
        {"-2147483648", 11, WholeNumberStatus::Ok, INT32_MIN},
        {"2147483648", 10, WholeNumberStatus::OutOfRange, INT32_MAX},
        {"-99999999999999999999", 21, WholeNumberStatus::OutOfRange, INT32_MIN},
        {"-", 1, WholeNumberStatus::NoNumber, 0},  // a lone sign is taken, as "%d" takes it
        {"+-3", 1, WholeNumberStatus::NoNumber, 0},
        {" 3", 0, WholeNumberStatus::NoNumber, 0},  // white space is the caller's to skip
        {"x", 0, WholeNumberStatus::NoNumber, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fitcore::WholeNumberReader number;
        std::size_t taken = 0;
        while (taken < c.text.size() && number.Take(static_cast<unsigned char>(c.text[taken]))) ++taken;
        if (taken == c.text.size()) {
            EXPECT_FALSE(number.Take(EOF));
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(number.status(), c.status);
        EXPECT_EQ(number.value(), c.value);
    }
}

TEST(WholeNumberOf, AcceptsOnlyATextThatIsOneNumberInRange)
{
    EXPECT_EQ(fitcore::WholeNumberOf("9"), 9);
    EXPECT_EQ(fitcore::WholeNumberOf("+3"), 3);
    EXPECT_EQ(fitcore::WholeNumberOf("-2147483648"), INT32_MIN);
    for (const char* refused : {"", "-", " 3", "3 ", "3x", "0x10", "1e3", "2147483648"})
        EXPECT_EQ(fitcore::WholeNumberOf(refused), std::nullopt) << refused;
}

}  // namespace
