#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Pure translations from what the kernel and the firmware say of a processor
// to the codes and texts of the processor class.
namespace tolvex::linuxprov {

// The processor ID as the management service forms it on x86: CPUID leaf 1
// EDX, then EAX, as 16 upper-case hexadecimal digits. `id` holds EAX in its
// low half and EDX in its high half, as the SMBIOS processor structure
// stores them.
std::string processorIdText(std::uint64_t id);

// The leaf 1 signature (EAX) of an x86 processor from its family, model and
// stepping as /proc/cpuinfo shows them (family and model already include
// their extended parts).
std::uint32_t x86Signature(unsigned family, unsigned model, unsigned stepping);

// Leaf 1 EDX rebuilt from the feature names of /proc/cpuinfo's "flags".
std::uint32_t x86FeatureEdx(const std::string& flags);

// The SMBIOS voltage byte: with bit 7 set, bits 6..0 are tenths of a volt;
// otherwise bits 0..2 list the supported legacy voltages (5, 3.3, 2.9 V).
// CurrentVoltage is the value in tenths when the byte states one voltage;
// VoltageCaps carries the legacy bits.
std::optional<int> voltageTenths(std::uint8_t raw);
std::optional<int> voltageCaps(std::uint8_t raw);

// The core's name for an ARM implementer and part ("0x41", "0xd46" →
// "Cortex-A510"); no value for parts this table does not know.
std::optional<std::string> armCoreName(const std::optional<std::string>& implementer,
                                       const std::optional<std::string>& part);

// An ARM implementer's company name ("0x41" → "ARM Limited").
std::optional<std::string> armImplementerName(const std::optional<std::string>& implementer);

// Everything that the first /proc/cpuinfo record of a package (with the
// machine-wide lines) and the kernel's machine name tell.
struct KernelCpuView {
    std::optional<std::string> name;
    std::optional<std::string> manufacturer;
    std::optional<int> architecture;  // Win32_Processor.Architecture codes
    std::optional<int> dataWidth;
    std::optional<int> addressWidth;
    std::optional<int> level;
    std::optional<int> revision;
    std::optional<std::string> version;
    std::optional<std::string> caption;
    std::optional<std::string> stepping;
    std::optional<std::string> processorId;
    std::optional<std::uint32_t> clockMhz;
    std::optional<int> armArchitecture;
};

using CpuField = std::function<std::optional<std::string>(const char* key)>;
KernelCpuView describeCpu(const CpuField& field, const std::optional<std::string>& machine);

// The operating system's address width for a kernel machine name
// ("x86_64" → 64, "i686" → 32); no value for names it does not know.
std::optional<int> osAddressWidth(const std::string& machine);

}  // namespace tolvex::linuxprov
