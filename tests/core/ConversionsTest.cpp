#include <gtest/gtest.h>

#include "wmi/Conversions.h"
#include "wmi/Failure.h"

using tolvex::Failure;
using tolvex::ManagementValue;
using tolvex::NumberFormat;

namespace {

const NumberFormat kPoint = NumberFormat::point();
const NumberFormat kComma = NumberFormat::comma();

struct MaskCase {
    std::optional<double> value;
    const char* mask;
    const char* point;
    const char* comma;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << (c.value ? std::to_string(*c.value) : std::string("Null")) << " with " << c.mask;
}

class MaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskTest, FormatsInBothLocales) {
    const auto& c = GetParam();
    EXPECT_EQ(tolvex::formatMask(c.value, c.mask, kPoint), c.point);
    EXPECT_EQ(tolvex::formatMask(c.value, c.mask, kComma), c.comma);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTest,
    ::testing::Values(
        MaskCase{130480, "###,###", "130,480", "130.480"},
        MaskCase{1234567, "###,###", "1,234,567", "1.234.567"},
        MaskCase{999, "###,###", "999", "999"}, MaskCase{0, "###,###", "", ""},
        MaskCase{0.4, "###,###", "", ""}, MaskCase{0.5, "###,###", "1", "1"},
        MaskCase{std::nullopt, "###,###", "", ""},
        MaskCase{134217728 / 1000.0, "##,##", "134,218", "134.218"},
        MaskCase{8388608 / 1000.0, "##,##", "8,389", "8.389"},
        MaskCase{4194304 / 1000.0, "##,##", "4,194", "4.194"}, MaskCase{1, "##,##", "1", "1"},
        MaskCase{2.5, "##,##", "3", "3"}, MaskCase{-2.5, "##,##", "-3", "-3"},
        MaskCase{10001908224 / 1e6, "0.00", "10001.91", "10001,91"},
        MaskCase{2147483648 / 1e6, "0.00", "2147.48", "2147,48"},
        MaskCase{0, "0.00", "0.00", "0,00"}, MaskCase{1.5, "0.00", "1.50", "1,50"},
        MaskCase{0.75, "0.00", "0.75", "0,75"}, MaskCase{1.005, "0.00", "1.01", "1,01"},
        MaskCase{0.125, "0.00", "0.13", "0,13"}, MaskCase{9.995, "0.00", "10.00", "10,00"},
        MaskCase{0.004, "0.00", "0.00", "0,00"}, MaskCase{1.0 / 3.0 * 100, "0.0", "33.3", "33,3"},
        MaskCase{50, "0.0", "50.0", "50,0"}, MaskCase{99.96, "0.0", "100.0", "100,0"},
        MaskCase{21.47, "0.0", "21.5", "21,5"}, MaskCase{std::nullopt, "0.00", "", ""}));

TEST(RealText, FifteenSignificantDigitsNoTrailingZeros) {
    EXPECT_EQ(tolvex::realText(33 / 10.0, kPoint), "3.3");
    EXPECT_EQ(tolvex::realText(33 / 10.0, kComma), "3,3");
    EXPECT_EQ(tolvex::realText(20 / 10.0, kPoint), "2");
    EXPECT_EQ(tolvex::realText(161 / 10.0, kPoint), "16.1");
    EXPECT_EQ(tolvex::realText(1.0 / 3.0, kPoint), "0.333333333333333");
    EXPECT_EQ(tolvex::realText(-0.5, kPoint), "-0.5");
    EXPECT_EQ(tolvex::realText(1e15, kPoint), "1E+15");
}

TEST(StrictText, EachKind) {
    EXPECT_EQ(tolvex::strictText(ManagementValue::integer(-42), kPoint), "-42");
    EXPECT_EQ(tolvex::strictText(ManagementValue::integer(4294967295LL), kPoint), "4294967295");
    EXPECT_EQ(tolvex::strictText(ManagementValue::real(2.5), kComma), "2,5");
    EXPECT_EQ(tolvex::strictText(ManagementValue::text(" as is "), kPoint), " as is ");
    EXPECT_EQ(tolvex::strictText(ManagementValue::boolean(true), kPoint), "True");
    EXPECT_EQ(tolvex::strictText(ManagementValue::boolean(false), kPoint), "False");
    NumberFormat german = kComma;
    german.trueWord = "Wahr";
    EXPECT_EQ(tolvex::strictText(ManagementValue::boolean(true), german), "Wahr");
    try {
        tolvex::strictText(ManagementValue::null(), kPoint);
        FAIL() << "Null must not convert";
    } catch (const Failure& failure) {
        EXPECT_NE(failure.description().find("Null"), std::string::npos);
    }
}

TEST(SuffixText, NullGivesSuffixAlone) {
    EXPECT_EQ(tolvex::suffixText(ManagementValue::integer(2600), " MHz", kPoint), "2600 MHz");
    EXPECT_EQ(tolvex::suffixText(ManagementValue::null(), " MHz", kPoint), " MHz");
    EXPECT_EQ(tolvex::suffixText(ManagementValue::text("64"), " bits", kPoint), "64 bits");
}

TEST(Quotient, NumbersTextsAndNull) {
    EXPECT_DOUBLE_EQ(*tolvex::quotient(ManagementValue::integer(33), 10), 3.3);
    EXPECT_DOUBLE_EQ(*tolvex::quotient(ManagementValue::text("10001908224"), 1e6), 10001.908224);
    EXPECT_DOUBLE_EQ(*tolvex::quotient(ManagementValue::text(" 134217728 "), 1000), 134217.728);
    EXPECT_FALSE(tolvex::quotient(ManagementValue::null(), 10).has_value());
    for (const char* bad : {"", "12abc", "abc", "1.2.3", "--1", "nan", "inf"}) {
        EXPECT_THROW(tolvex::quotient(ManagementValue::text(bad), 10), Failure) << bad;
    }
    EXPECT_THROW(tolvex::quotient(ManagementValue::boolean(true), 10), Failure);
}

TEST(Code16, RangeAndNull) {
    EXPECT_EQ(tolvex::code16(ManagementValue::integer(-32768)), -32768);
    EXPECT_EQ(tolvex::code16(ManagementValue::integer(32767)), 32767);
    EXPECT_EQ(tolvex::code16(ManagementValue::text("3")), 3);
    EXPECT_THROW(tolvex::code16(ManagementValue::integer(32768)), Failure);
    EXPECT_THROW(tolvex::code16(ManagementValue::integer(-32769)), Failure);
    EXPECT_THROW(tolvex::code16(ManagementValue::integer(40000)), Failure);
    EXPECT_THROW(tolvex::code16(ManagementValue::null()), Failure);
    EXPECT_THROW(tolvex::code16(ManagementValue::text("x")), Failure);
}

}  // namespace
