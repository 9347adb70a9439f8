// What --redact puts in place of an identifying value: a placeholder of the
// value's own form, distinct for each value, so that a redacted answer still
// reads (and parses) as the machine's.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <set>

#include "tools/Redaction.h"
#include "wmi/StaticObject.h"

namespace {

using namespace tolvex;

TEST(Redaction, EachKindOfValueGetsDistinctPlaceholdersOfItsForm) {
    struct Kind {
        const char* property;
        const char* valueForm;  // the n-th value, of n / 256 and n % 256
        const char* first;      // the placeholder of the first value
        const char* shape;      // every placeholder's
    };
    const Kind kinds[] = {
        {"SerialNumber", "SN-%u-%u", "SERIAL-1", "SERIAL-[1-9][0-9]*"},
        {"MACAddress", "00:1a:2b:3c:%02X:%02X", "02:00:00:00:00:01",
         "02:00:00:00:[0-9A-F]{2}:[0-9A-F]{2}"},
        {"UUID", "4C4C4544-0042-3510-8052-0000%04X%04X", "00000000-0000-4000-8000-000000000001",
         "00000000-0000-4000-8000-[0-9A-F]{12}"},
        {"CSName", "web%u-%u", "host-1", "host-[1-9][0-9]*"},
        // By its form: the documentation networks, host numbers 1 to 254.
        {"IPAddress", "10.1.%u.%u", "192.0.2.1",
         "(192\\.0\\.2|198\\.51\\.100|203\\.0\\.113)\\."
         "([1-9][0-9]?|1[0-9][0-9]|2[0-4][0-9]|25[0-4])"},
        {"VolumeSerialNumber", "DE%02X%04X", "00000001", "[0-9A-F]{8}"},
    };
    // Enough values to pass 254 addresses and the MAC's last byte.
    constexpr unsigned kCount = 300;
    std::vector<query::ClassAnswer> answers(1);
    answers[0].className = "Win32_Thing";
    for (unsigned n = 1; n <= kCount; ++n) {
        std::vector<StaticObject::Property> properties;
        for (const Kind& kind : kinds) {
            char value[64];
            std::snprintf(value, sizeof value, kind.valueForm, n / 256, n % 256);
            properties.emplace_back(kind.property, ManagementValue::text(value));
        }
        answers[0].instances.push_back(
            std::make_shared<StaticObject>("Win32_Thing", "p", std::move(properties)));
    }
    query::redact(answers, nullptr);

    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.property);
        const std::regex shape(kind.shape);
        std::set<std::string> seen;
        for (const auto& object : answers[0].instances) {
            const std::string placeholder = object->property(kind.property).asText();
            EXPECT_TRUE(std::regex_match(placeholder, shape)) << placeholder;
            seen.insert(placeholder);
        }
        EXPECT_EQ(seen.size(), kCount);
        EXPECT_EQ(answers[0].instances.front()->property(kind.property).asText(), kind.first);
    }
}

// A Null keeps its reason, without the identifying values in its words.
TEST(Redaction, NullReasonsStayWithoutTheValues) {
    std::vector<query::ClassAnswer> answers(1);
    answers[0].className = "Win32_Thing";
    answers[0].instances.push_back(std::make_shared<StaticObject>(
        "Win32_Thing", "p",
        std::vector<StaticObject::Property>{{"SerialNumber", ManagementValue::text("SN-4711-Q")},
                                            {"Model", ManagementValue::null()}},
        std::vector<NullReason>{
            {},
            {NullReason::Kind::Unreadable, "/dev/disk/by-id/ata-SN-4711-Q", "Reseat SN-4711-Q"}}));
    query::redact(answers, nullptr);
    EXPECT_EQ(answers[0].instances[0]->nullReason("Model"),
              (NullReason{NullReason::Kind::Unreadable, "/dev/disk/by-id/ata-SERIAL-1",
                          "Reseat SERIAL-1"}));
}

}  // namespace
