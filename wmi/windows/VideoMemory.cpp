#include "wmi/windows/VideoMemory.h"

#include <windows.h>

#include <cwctype>
#include <limits>
#include <string_view>
#include <vector>

#include "wmi/windows/Com.h"

namespace tolvex::windows {

namespace {

constexpr const wchar_t* kEnumKey = L"SYSTEM\\CurrentControlSet\\Enum\\";
constexpr const wchar_t* kMemorySizeValue = L"HardwareInformation.qwMemorySize";

class Key {
  public:
    explicit Key(const std::wstring& path) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &m_key) != ERROR_SUCCESS) {
            m_key = nullptr;
        }
    }
    ~Key() {
        if (m_key) {
            RegCloseKey(m_key);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return m_key != nullptr; }

    std::optional<std::wstring> text(const wchar_t* name) const {
        wchar_t buffer[512] = {};
        DWORD size = sizeof buffer - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        return std::wstring(buffer);
    }

    std::optional<std::uint64_t> size(const wchar_t* name) const {
        unsigned char bytes[8] = {};
        DWORD size = sizeof bytes;
        DWORD type = 0;
        if (RegQueryValueExW(m_key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
            (type != REG_QWORD && type != REG_BINARY) || size != sizeof bytes) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i) {
            value = (value << 8) | bytes[i];  // little-endian, as a REG_QWORD
        }
        return value;
    }

    std::vector<std::wstring> subkeys() const {
        std::vector<std::wstring> names;
        for (DWORD index = 0;; ++index) {
            wchar_t name[256] = {};
            DWORD length = 256;
            if (RegEnumKeyExW(m_key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, length);
        }
        return names;
    }

  private:
    HKEY m_key = nullptr;
};

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(text[i]) != std::towlower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// The memory size in the driver key a device key names, if that driver key
// is one of the display class.
std::optional<std::uint64_t> sizeOfDevice(const std::wstring& deviceKey) {
    const Key device(kEnumKey + deviceKey);
    if (!device) {
        return std::nullopt;
    }
    const auto driver = device.text(L"Driver");
    const std::wstring_view displayClass = kDisplayClassKey;
    const std::wstring_view classGuid = displayClass.substr(displayClass.rfind(L'\\') + 1);
    if (!driver || !startsWithNoCase(*driver, classGuid)) {
        return std::nullopt;
    }
    const Key driverKey(std::wstring(kDisplayClassKey) + driver->substr(classGuid.size()));
    return driverKey ? driverKey.size(kMemorySizeValue) : std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> videoMemoryFromRegistry(const std::string& pnpDeviceId) {
    if (pnpDeviceId.empty()) {
        return std::nullopt;
    }
    const Bstr text(pnpDeviceId);
    const std::wstring id(text.get(), SysStringLen(text.get()));
    if (const auto size = sizeOfDevice(id)) {
        return size;
    }
    const auto slash = id.rfind(L'\\');
    if (slash == std::wstring::npos) {
        return std::nullopt;
    }
    const std::wstring hardwareId = id.substr(0, slash);
    if (const Key instances(kEnumKey + hardwareId); instances) {
        for (const std::wstring& instance : instances.subkeys()) {
            if (const auto size = sizeOfDevice(hardwareId + L'\\' + instance)) {
                return size;
            }
        }
    }
    // No device key for this adapter at all (Wine reports a hardware ID of
    // its own making): the one driver key of the display class that holds a
    // size, when there is exactly one, is this adapter's.
    const Key displayClass(kDisplayClassKey);
    if (!displayClass) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> only;
    int found = 0;
    for (const std::wstring& name : displayClass.subkeys()) {
        const Key driver(std::wstring(kDisplayClassKey) + L'\\' + name);
        if (const auto size = driver ? driver.size(kMemorySizeValue) : std::nullopt) {
            only = size;
            ++found;
        }
    }
    return found == 1 ? only : std::nullopt;
}

ManagementValue trueAdapterRam(const ManagementValue& adapterRam,
                               const std::optional<std::uint64_t>& registrySize) {
    if (!registrySize ||
        *registrySize > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return adapterRam;
    }
    if (adapterRam.isNull() || *registrySize > std::numeric_limits<std::uint32_t>::max()) {
        return ManagementValue::integer(static_cast<std::int64_t>(*registrySize));
    }
    return adapterRam;
}

}  // namespace tolvex::windows
