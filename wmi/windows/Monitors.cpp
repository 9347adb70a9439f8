#include "wmi/windows/Monitors.h"

// windows.h first: setupapi.h needs its types.
#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include "wmi/MonitorIdentity.h"
#include "wmi/windows/VariantValue.h"

namespace tolvex::windows {

namespace {

// A base block and up to 255 extensions, as on Linux.
constexpr DWORD kEdidReadLimit = 32 * 1024;
// A device instance ID's longest (MAX_DEVICE_ID_LEN of cfgmgr32.h).
constexpr DWORD kDeviceIdLength = 200;

std::string utf8Of(const wchar_t* text) {
    return winvariant::utf16ToUtf8(text);
}

std::string errorText(LONG code) {
    wchar_t buffer[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(code), 0, buffer, 256, nullptr);
    std::string text = length ? utf8Of(buffer) : "error " + std::to_string(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

// The EDID value of an open Device Parameters key, or why there is none.
void readEdid(HKEY parameters, MonitorRead& monitor) {
    std::string bytes(kEdidReadLimit, '\0');
    DWORD size = kEdidReadLimit;
    DWORD type = 0;
    const LONG status = RegQueryValueExW(parameters, L"EDID", nullptr, &type,
                                         reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (status == ERROR_SUCCESS && type == REG_BINARY && size > 0) {
        bytes.resize(size);
        monitor.edid = std::move(bytes);
    } else if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && size == 0)) {
        monitor.whyNoEdid = {NullReason::Kind::NotProvided, monitor.edidSource, {}};
    } else if (status == ERROR_ACCESS_DENIED) {
        monitor.whyNoEdid = {NullReason::Kind::NeedsAdministrator, monitor.edidSource,
                             "Run Tolvex as administrator to read the monitor's EDID"};
    } else if (status == ERROR_SUCCESS) {
        monitor.whyNoEdid = {
            NullReason::Kind::Unreadable, monitor.edidSource + " (not binary data)", {}};
    } else {
        // ERROR_MORE_DATA: larger than any EDID can be.
        monitor.whyNoEdid = {
            NullReason::Kind::Unreadable, monitor.edidSource + " (" + errorText(status) + ")", {}};
    }
}

}  // namespace

std::string computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &size) ? utf8Of(name) : "localhost";
}

std::vector<ObjectPtr> monitorsFromRegistry(const std::string& host) {
    std::vector<ObjectPtr> out;
    const HDEVINFO devices =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_MONITOR, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return out;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(devices, index, &device)) {
            break;  // ERROR_NO_MORE_ITEMS
        }
        wchar_t id[kDeviceIdLength + 1] = {};
        if (!SetupDiGetDeviceInstanceIdW(devices, &device, id, kDeviceIdLength, nullptr)) {
            continue;
        }
        MonitorRead monitor;
        monitor.host = host;
        const std::string instanceId = utf8Of(id);
        monitor.instanceName = instanceId + "_0";
        // Present now, so in use: the class holds no monitor that is gone.
        monitor.active = true;
        monitor.edidSource =
            "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + instanceId + "\\Device Parameters\\EDID";
        const HKEY parameters =
            SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (parameters == INVALID_HANDLE_VALUE) {
            const auto error = static_cast<LONG>(GetLastError());
            monitor.whyNoEdid =
                error == ERROR_ACCESS_DENIED
                    ? NullReason{NullReason::Kind::NeedsAdministrator, monitor.edidSource,
                                 "Run Tolvex as administrator to read the monitor's EDID"}
                    : NullReason{NullReason::Kind::NotProvided, monitor.edidSource, {}};
        } else {
            readEdid(parameters, monitor);
            RegCloseKey(parameters);
        }
        out.push_back(monitorObject(monitor));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return out;
}

}  // namespace tolvex::windows
