// Conversion of "%d"/"%lg"-style numbers from a stream, at block boundaries included.
#include "number_scanner.h"

#include "memory_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct ScannerOnText {
    explicit ScannerOnText(std::string text) : text_(std::move(text))
    {
        file_.reset(OpenTextForReading(text_));
        scanner_ = std::make_unique<NumberScanner>(file_.get());
    }
    NumberScanner& operator*() { return *scanner_; }
    NumberScanner* operator->() { return scanner_.get(); }

    std::string text_;
    std::unique_ptr<FILE, decltype(&std::fclose)> file_{nullptr, &std::fclose};
    std::unique_ptr<NumberScanner> scanner_;
};

using Status = NumberScanner::Status;

TEST(NumberScannerInt, ReadsSignedDecimalsAcrossAnyWhiteSpace)
{
    ScannerOnText scan(" \t12\r\n-7\n\n+3 0");
    int32_t a = 0, b = 0, c = 0, d = 1;
    EXPECT_EQ(scan->ReadInt(&a), Status::Ok);
    EXPECT_EQ(scan->ReadInt(&b), Status::Ok);
    EXPECT_EQ(scan->ReadInt(&c), Status::Ok);
    EXPECT_EQ(scan->ReadInt(&d), Status::Ok);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -7);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(scan->ReadInt(&a), Status::NoNumber);
}

TEST(NumberScannerInt, RefusesValuesOutsideThirtyTwoBits)
{
    for (const char* text : {"2147483648", "-2147483649", "99999999999999999999999"}) {
        ScannerOnText scan(text);
        int32_t value = 5;
        EXPECT_EQ(scan->ReadInt(&value), Status::OutOfRange) << text;
        EXPECT_EQ(value, 5) << text;
    }
    ScannerOnText limits("2147483647 -2147483648");
    int32_t high = 0, low = 0;
    EXPECT_EQ(limits->ReadInt(&high), Status::Ok);
    EXPECT_EQ(limits->ReadInt(&low), Status::Ok);
    EXPECT_EQ(high, 2147483647);
    EXPECT_EQ(low, -2147483647 - 1);
}

TEST(NumberScannerInt, TextIsNoNumberAndStopsAtTheFirstNonDigit)
{
    ScannerOnText scan("12abc");
    int32_t value = 0;
    EXPECT_EQ(scan->ReadInt(&value), Status::Ok);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(scan->ReadInt(&value), Status::NoNumber);
    ScannerOnText sign_only("- 5");
    EXPECT_EQ(sign_only->ReadInt(&value), Status::NoNumber);
}

TEST(NumberScannerDouble, GivesTheCLibraryValueForEveryNotation)
{
    const char* inputs[] = {"1.5",  "-0",   "+2.25", "1e400", "-1e400", "4.9e-324", "0x1.8p1",
                            "inf",  "-Infinity", "1e",  "1e+", ".5",   "5.",     "1.5x"};
    for (const char* input : inputs) {
        ScannerOnText scan(input);
        double value = 0;
        ASSERT_EQ(scan->ReadDouble(&value), Status::Ok) << input;
        double expected = std::strtod(input, nullptr);
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << input;
    }
    ScannerOnText nan_text("nan -nan(123)");
    double first = 0, second = 0;
    EXPECT_EQ(nan_text->ReadDouble(&first), Status::Ok);
    EXPECT_EQ(nan_text->ReadDouble(&second), Status::Ok);
    EXPECT_TRUE(std::isnan(first) && !std::signbit(first));
    EXPECT_TRUE(std::isnan(second) && std::signbit(second));
}

TEST(NumberScannerDouble, LeavesTextThatIsNotANumberUnread)
{
    ScannerOnText scan("3,4 x 7");
    double value = 0;
    EXPECT_EQ(scan->ReadDouble(&value), Status::Ok);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(scan->ReadDouble(&value), Status::NoNumber);
    EXPECT_EQ(scan->ReadDouble(&value), Status::NoNumber);
    EXPECT_EQ(value, 3);

    ScannerOnText binary(std::string("1\0002", 3));
    EXPECT_EQ(binary->ReadDouble(&value), Status::Ok);
    EXPECT_EQ(binary->ReadDouble(&value), Status::NoNumber);
}

TEST(NumberScannerDouble, NumbersThatCrossTheBlockBoundaryReadWhole)
{
    // Padding puts numbers across the 1 MiB block edge, and one digit
    // string is longer than a block.
    std::string text(1048570, ' ');
    text += "123.456789 ";
    std::string long_number = "0." + std::string(1500000, '0') + "1e1500001";
    text += long_number + " 42";
    ScannerOnText scan(text);
    double a = 0, b = 0, c = 0;
    EXPECT_EQ(scan->ReadDouble(&a), Status::Ok);
    EXPECT_EQ(scan->ReadDouble(&b), Status::Ok);
    EXPECT_EQ(scan->ReadDouble(&c), Status::Ok);
    EXPECT_EQ(a, 123.456789);
    EXPECT_EQ(b, std::strtod(long_number.c_str(), nullptr));
    EXPECT_EQ(c, 42);
}

}  // namespace

// A token many blocks long grows the buffer geometrically: every byte of it
// is copied a bounded number of times, not once per block read after it.
TEST(NumberScannerDouble, ALongTokenIsCopiedABoundedNumberOfTimes)
{
    const std::string digits = "1" + std::string(size_t{24} << 20, '0');
    ScannerOnText scan(digits + " 5");
    double value = 0, next = 0;
    EXPECT_EQ(scan->ReadDouble(&value), Status::Ok);
    EXPECT_EQ(scan->ReadDouble(&next), Status::Ok);
    EXPECT_EQ(value, std::strtod(digits.c_str(), nullptr));
    EXPECT_EQ(next, 5);
    EXPECT_LE(scan->bytes_copied_by_growth(), 2 * digits.size());
}
