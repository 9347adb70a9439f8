#include <gtest/gtest.h>

#include <cstring>

#include "wmi/WbemErrors.h"
#include "wmi/windows/VariantValue.h"

namespace {

using tolvex::Failure;
using tolvex::ManagementValue;
namespace vt = tolvex::winvariant;

// The members of a VARIANT that the conversion reads, laid out as the Windows
// headers name them, with BSTR as 16-bit code units.
struct FakeVariant {
    std::uint16_t vt = vt::kVtEmpty;
    union {
        std::int8_t cVal;
        std::uint8_t bVal;
        std::int16_t iVal;
        std::uint16_t uiVal;
        std::int32_t lVal;
        std::uint32_t ulVal;
        std::int32_t intVal;
        std::uint32_t uintVal;
        std::int64_t llVal;
        std::uint64_t ullVal;
        float fltVal;
        double dblVal;
        std::int16_t boolVal;
        const char16_t* bstrVal;
    };
    FakeVariant() : llVal(0) {}
};

FakeVariant variant(std::uint16_t type) {
    FakeVariant v;
    v.vt = type;
    return v;
}

struct Case {
    const char* name;
    FakeVariant v;
    ManagementValue expected;
};

// Each case shows by its name (in test names and failures), not its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Case> cases() {
    std::vector<Case> c;
    auto add = [&c](const char* name, FakeVariant v, ManagementValue expected) {
        c.push_back({name, v, std::move(expected)});
    };
    add("Null", variant(vt::kVtNull), ManagementValue::null());
    add("Empty", variant(vt::kVtEmpty), ManagementValue::null());
    FakeVariant v = variant(vt::kVtI4);
    v.lVal = -1;
    add("I4Negative", v, ManagementValue::integer(-1));
    v.lVal = 2147483647;
    add("I4Max", v, ManagementValue::integer(2147483647));
    // A uint32 above 2^31 delivered as VT_I4 keeps the service's signed value.
    v.ulVal = 0x80000000u;
    add("I4HighBit", v, ManagementValue::integer(-2147483647 - 1));
    v = variant(vt::kVtI2);
    v.iVal = -32768;
    add("I2Min", v, ManagementValue::integer(-32768));
    v = variant(vt::kVtUi1);
    v.bVal = 255;
    add("Ui1", v, ManagementValue::integer(255));
    v = variant(vt::kVtI1);
    v.cVal = -5;
    add("I1", v, ManagementValue::integer(-5));
    v = variant(vt::kVtUi2);
    v.uiVal = 65535;
    add("Ui2", v, ManagementValue::integer(65535));
    v = variant(vt::kVtUi4);
    v.ulVal = 4294967295u;
    add("Ui4", v, ManagementValue::integer(4294967295LL));
    v = variant(vt::kVtI8);
    v.llVal = -9007199254740993LL;
    add("I8StaysText", v, ManagementValue::text("-9007199254740993"));
    v = variant(vt::kVtUi8);
    v.ullVal = 18446744073709551615ULL;
    add("Ui8StaysText", v, ManagementValue::text("18446744073709551615"));
    v = variant(vt::kVtR8);
    v.dblVal = 3.3;
    add("R8", v, ManagementValue::real(3.3));
    v = variant(vt::kVtR4);
    v.fltVal = 0.5f;
    add("R4", v, ManagementValue::real(0.5));
    v = variant(vt::kVtBool);
    v.boolVal = -1;
    add("BoolTrue", v, ManagementValue::boolean(true));
    v.boolVal = 0;
    add("BoolFalse", v, ManagementValue::boolean(false));
    v.boolVal = 1;
    add("BoolNonZero", v, ManagementValue::boolean(true));
    v = variant(vt::kVtBstr);
    v.bstrVal = u"20240131093000.000000+060";
    add("DateTimeText", v, ManagementValue::text("20240131093000.000000+060"));
    v.bstrVal = u"17179869184";
    add("Uint64Text", v, ManagementValue::text("17179869184"));
    v.bstrVal = u"";
    add("EmptyText", v, ManagementValue::text(""));
    v.bstrVal = nullptr;  // a null BSTR is the empty text
    add("NullBstr", v, ManagementValue::text(""));
    v.bstrVal = u"Caf\u00e9 \u20ac \U0001F600";
    add("NonAscii", v, ManagementValue::text("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    static const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    v.bstrVal = lone;
    add("LoneSurrogates", v,
        ManagementValue::text("a\xEF\xBF\xBD"
                              "b\xEF\xBF\xBD"));
    return c;
}

class VariantValueTest : public ::testing::TestWithParam<Case> {};

TEST_P(VariantValueTest, ConvertsByType) {
    EXPECT_EQ(vt::toManagementValue(GetParam().v), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Types, VariantValueTest, ::testing::ValuesIn(cases()),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(VariantValue, TypesNotShownFailWithWords) {
    for (std::uint16_t type :
         {std::uint16_t(vt::kVtArray | vt::kVtBstr), std::uint16_t(vt::kVtByRef | vt::kVtI4),
          vt::kVtDispatch, vt::kVtError, std::uint16_t(7) /* VT_DATE */}) {
        try {
            vt::toManagementValue(variant(type));
            ADD_FAILURE() << "type " << type << " converted";
        } catch (const Failure& failure) {
            EXPECT_NE(failure.description().find("Type mismatch"), std::string::npos);
        }
    }
}

TEST(WbemErrors, CodesBecomeWordsWithTheNumber) {
    struct ErrorCase {
        std::uint32_t code;
        const char* text;
    };
    for (const auto& c : {ErrorCase{0x80041010, "Invalid class (0x80041010)"},
                          ErrorCase{0x80041002, "Not found (0x80041002)"},
                          ErrorCase{0x80041003, "Access denied (0x80041003)"},
                          ErrorCase{0x8004100E, "Invalid namespace (0x8004100E)"},
                          ErrorCase{0x80004001, "Not implemented (0x80004001)"},
                          ErrorCase{0x800401E4, "Invalid syntax (0x800401E4)"},
                          ErrorCase{0x800706BA, "The RPC server is unavailable (0x800706BA)"},
                          ErrorCase{0x80041099, "Management service error (0x80041099)"},
                          ErrorCase{0x80070002, "System error (0x80070002)"},
                          ErrorCase{0x12345678, "Unknown error (0x12345678)"}}) {
        EXPECT_EQ(tolvex::wbemErrorText(c.code), c.text);
    }
}

}  // namespace

namespace {

// A property the schema calls uint32 is read back unsigned, whatever the
// variant's signed type made of its top bit; other values pass unchanged.
TEST(VariantValueTest, Unsigned32PropertiesReadBackTheirFullRange) {
    struct Unsigned32Case {
        ManagementValue in;
        ManagementValue out;
    };
    const Unsigned32Case cases[] = {
        {ManagementValue::integer(-1), ManagementValue::integer(4294967295)},
        {ManagementValue::integer(-2147483647 - 1), ManagementValue::integer(2147483648)},
        // 2 GiB of video memory less 1 MiB, as a video adapter reports it.
        {ManagementValue::integer(-1048576), ManagementValue::integer(4293918720)},
        {ManagementValue::integer(0), ManagementValue::integer(0)},
        {ManagementValue::integer(2147483647), ManagementValue::integer(2147483647)},
        {ManagementValue::null(), ManagementValue::null()},
        {ManagementValue::text("-1"), ManagementValue::text("-1")},
    };
    for (const Unsigned32Case& c : cases) {
        EXPECT_EQ(vt::asUnsigned32(c.in), c.out);
    }
}

}  // namespace
