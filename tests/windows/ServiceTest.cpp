// The management service through its scripting interface, as Wine provides it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "wmi/Management.h"
#include "wmi/WmiNames.h"
#include "wmi/windows/VideoMemory.h"

namespace {

using tolvex::Failure;
using tolvex::ManagementValue;
namespace cls = tolvex::wmi::cls;

tolvex::ServicePtr service() {
    static tolvex::ServicePtr connected = tolvex::Connect("WinMgmts:");
    return connected;
}

std::vector<tolvex::ObjectPtr> walk(const tolvex::ManagementObjectSet& set) {
    std::vector<tolvex::ObjectPtr> objects;
    auto e = set.enumerate();
    while (auto object = e->next()) {
        objects.push_back(object);
    }
    return objects;
}

bool hasWords(const std::string& text) {
    return std::count_if(text.begin(), text.end(),
                         [](unsigned char c) { return std::isalpha(c); }) >= 5;
}

TEST(WinService, OperatingSystemHasOneInstanceWithCaption) {
    auto set = service()->instancesOf(cls::OperatingSystem, tolvex::kReturnImmediately);
    ASSERT_EQ(set->count(), 1);
    const auto objects = walk(*set);
    ASSERT_EQ(objects.size(), 1u);
    const ManagementValue caption = objects[0]->property("Caption");
    ASSERT_EQ(caption.kind(), ManagementValue::Kind::Text);
    EXPECT_FALSE(caption.asText().empty());
    // Names are matched without regard to case.
    EXPECT_EQ(objects[0]->property("cAPTION"), caption);
}

TEST(WinService, TypesArriveAsTheServiceDeliversThem) {
    auto set = service()->instancesOf(cls::OperatingSystem, tolvex::kReturnImmediately);
    const auto os = walk(*set).at(0);
    // uint64 and datetime properties arrive as text; uint32 as an integer.
    EXPECT_EQ(os->property("TotalVisibleMemorySize").kind(), ManagementValue::Kind::Text);
    EXPECT_EQ(os->property("LastBootUpTime").kind(), ManagementValue::Kind::Text);
    EXPECT_EQ(os->property("OSProductSuite").kind(), ManagementValue::Kind::Integer);
}

TEST(WinService, Unsigned32PropertiesAreNeverNegative) {
    // AdapterRAM is a uint32; Wine reports a large value that the variant's
    // signed type would turn negative.
    auto set = service()->instancesOf(cls::VideoController, tolvex::kReturnImmediately);
    const auto adapters = walk(*set);
    ASSERT_FALSE(adapters.empty());
    for (const auto& adapter : adapters) {
        const ManagementValue ram = adapter->property("AdapterRAM");
        if (ram.kind() == ManagementValue::Kind::Integer) {
            EXPECT_GE(ram.asInteger(), 0);
        }
    }
}

TEST(WinService, ANullSaysOnlyThatTheServiceGaveNoValue) {
    int nulls = 0;
    for (const char* name : {cls::OperatingSystem, cls::Processor, cls::BaseBoard,
                             cls::VideoController, cls::LogicalDisk}) {
        auto set = service()->instancesOf(name, tolvex::kReturnImmediately);
        for (const auto& object : walk(*set)) {
            for (const auto& property : object->propertyNames()) {
                const tolvex::NullReason reason = object->nullReason(property);
                if (object->property(property).isNull()) {
                    ++nulls;
                    EXPECT_EQ(reasonText(reason), "the management service gave no value")
                        << property;
                } else {
                    EXPECT_FALSE(reason.given()) << property;
                }
            }
        }
    }
    EXPECT_GT(nulls, 0);
}

constexpr const wchar_t* kMemorySizeValue = L"HardwareInformation.qwMemorySize";

// The true size of a video memory of 4 GiB or more, which the 32-bit
// AdapterRAM cannot hold, comes from the adapter's driver key. Written into
// the prefix's display driver keys (as REG_QWORD, or 8 bytes of REG_BINARY),
// it is what AdapterRAM answers; a size that fits in 32 bits leaves the
// service's own value.

TEST(WinService, VideoMemoryAbove4GiBComesFromTheAdaptersDriverKey) {
    HKEY displayClass = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, tolvex::windows::kDisplayClassKey, 0,
                            KEY_READ | KEY_WRITE, &displayClass),
              ERROR_SUCCESS);
    // Each driver key (0000, 0001, ...) with its value as it was, put back at
    // the end.
    struct Saved {
        HKEY key;
        DWORD type;
        std::vector<BYTE> bytes;
        bool present;
    };
    struct Restore {
        std::vector<Saved> saved;
        ~Restore() {
            for (Saved& s : saved) {
                if (s.present) {
                    RegSetValueExW(s.key, kMemorySizeValue, 0, s.type, s.bytes.data(),
                                   static_cast<DWORD>(s.bytes.size()));
                } else {
                    RegDeleteValueW(s.key, kMemorySizeValue);
                }
                RegCloseKey(s.key);
            }
        }
    } restore;
    for (DWORD index = 0;; ++index) {
        wchar_t name[64] = {};
        DWORD length = 64;
        if (RegEnumKeyExW(displayClass, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        HKEY driver = nullptr;
        if (length != 4 ||
            RegOpenKeyExW(displayClass, name, 0, KEY_READ | KEY_WRITE, &driver) != ERROR_SUCCESS) {
            continue;
        }
        Saved saved{driver, 0, std::vector<BYTE>(64), false};
        DWORD size = 64;
        saved.present = RegQueryValueExW(driver, kMemorySizeValue, nullptr, &saved.type,
                                         saved.bytes.data(), &size) == ERROR_SUCCESS;
        saved.bytes.resize(saved.present ? size : 0);
        restore.saved.push_back(std::move(saved));
    }
    RegCloseKey(displayClass);
    ASSERT_FALSE(restore.saved.empty()) << "no display driver key in the prefix";

    const auto adapterRam = [] {
        auto set = service()->instancesOf(cls::VideoController, tolvex::kReturnImmediately);
        return walk(*set).at(0)->property("AdapterRAM");
    };
    const auto write = [&](DWORD type, std::uint64_t bytes) {
        for (const Saved& s : restore.saved) {
            RegSetValueExW(s.key, kMemorySizeValue, 0, type, reinterpret_cast<const BYTE*>(&bytes),
                           sizeof bytes);
        }
    };
    for (const Saved& s : restore.saved) {
        RegDeleteValueW(s.key, kMemorySizeValue);
    }
    const ManagementValue servicesOwn = adapterRam();
    write(REG_QWORD, 8ull << 30);
    EXPECT_EQ(adapterRam(), ManagementValue::integer(8589934592LL));
    write(REG_BINARY, 24ull << 30);
    EXPECT_EQ(adapterRam(), ManagementValue::integer(25769803776LL));
    write(REG_QWORD, 2ull << 30);
    EXPECT_EQ(adapterRam(), servicesOwn);
}

TEST(WinService, MissingPropertyFailsWithWords) {
    auto set = service()->instancesOf(cls::OperatingSystem, tolvex::kReturnImmediately);
    const auto os = walk(*set).at(0);
    try {
        os->property("NoSuchProperty");
        FAIL() << "a property the class lacks must fail";
    } catch (const Failure& failure) {
        EXPECT_TRUE(hasWords(failure.description())) << failure.description();
    }
}

// Windows refuses a class it does not have; Wine answers with an empty set,
// as it does for the classes it lacks. Either way nothing is listed and a
// failure carries words.
TEST(WinService, UnknownClassFailsWithWordsOrIsEmpty) {
    try {
        auto set = service()->instancesOf("Win32_NoSuchClass", tolvex::kReturnImmediately);
        EXPECT_EQ(set->count(), 0);
        EXPECT_TRUE(walk(*set).empty());
    } catch (const Failure& failure) {
        EXPECT_TRUE(hasWords(failure.description())) << failure.description();
    }
}

TEST(WinService, EachInstanceIsFoundAgainByItsPath) {
    auto set = service()->instancesOf(cls::LogicalDisk, tolvex::kReturnImmediately);
    const auto objects = walk(*set);
    ASSERT_FALSE(objects.empty());
    ASSERT_EQ(static_cast<std::size_t>(set->count()), objects.size());
    // Wine gives its Z: drive (the Unix root, which it cannot read) a
    // DeviceID that is not a drive letter, and cannot find that path again;
    // every drive with a proper DeviceID must be found.
    int found = 0;
    for (const auto& object : objects) {
        const std::string path = object->path();
        ASSERT_NE(path.find("Win32_LogicalDisk"), std::string::npos) << path;
        const std::string id = object->property("DeviceID").asText();
        if (id.size() != 2 || id[1] != ':' || !std::isupper(static_cast<unsigned char>(id[0]))) {
            continue;
        }
        ASSERT_NE(path.find("\"" + id + "\""), std::string::npos) << path;
        const auto again = set->item(path, 0);
        EXPECT_EQ(again->property("DeviceID").asText(), id) << path;
        ++found;
    }
    EXPECT_GE(found, 1);
    // The set stays usable after a walk.
    EXPECT_EQ(walk(*set).size(), objects.size());
}

TEST(WinService, UnknownPathFails) {
    auto set = service()->instancesOf(cls::LogicalDisk, tolvex::kReturnImmediately);
    EXPECT_THROW(set->item("Win32_LogicalDisk.DeviceID=\"Q:\"", 0), Failure);
}

TEST(WinService, PropertyNamesIncludeTheOnesWeRead) {
    auto set = service()->instancesOf(cls::Processor, tolvex::kReturnImmediately);
    const auto cpu = walk(*set).at(0);
    const auto names = cpu->propertyNames();
    for (const char* name : {"Name", "Manufacturer", "MaxClockSpeed", "ProcessorId"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
}

}  // namespace
