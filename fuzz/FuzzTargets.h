#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The parsers and formatters that take bytes other people wrote, each as one
// entry point for libFuzzer and for the regression tests that replay the
// inputs it found. A target traps when an invariant breaks.
namespace tolvex::fuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);

struct NamedTarget {
    const char* name;
    Target run;
};

int smbiosTable(const std::uint8_t* data, std::size_t size);
int cpuInfo(const std::uint8_t* data, std::size_t size);
int mountTable(const std::uint8_t* data, std::size_t size);
int osRelease(const std::uint8_t* data, std::size_t size);
int objectPath(const std::uint8_t* data, std::size_t size);
int numberMasks(const std::uint8_t* data, std::size_t size);
int managementDateTime(const std::uint8_t* data, std::size_t size);
int edidTimings(const std::uint8_t* data, std::size_t size);
int edidIdentity(const std::uint8_t* data, std::size_t size);
int udevMemory(const std::uint8_t* data, std::size_t size);
// udev's record of a block device and a drive sensor's temperature text.
int diskRecords(const std::uint8_t* data, std::size_t size);
int zoneFile(const std::uint8_t* data, std::size_t size);
int pciIds(const std::uint8_t* data, std::size_t size);
int snapshotFile(const std::uint8_t* data, std::size_t size);

const std::vector<NamedTarget>& targets();

}  // namespace tolvex::fuzz
