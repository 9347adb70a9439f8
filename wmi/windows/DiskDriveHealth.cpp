#include "wmi/windows/DiskDriveHealth.h"

#include <windows.h>
// after windows.h, which they need
#include <wbemdisp.h>
#include <winioctl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "wmi/ObjectPath.h"
#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/windows/Com.h"
#include "wmi/windows/DriveHealthData.h"
#include "wmi/windows/VariantValue.h"

namespace tolvex::windows {

namespace {

namespace prop = wmi::prop;

constexpr const char* kWmiNamespace = "root\\wmi";
constexpr const char* kPredictStatus = "MSStorageDriver_FailurePredictStatus";
constexpr const char* kPredictData = "MSStorageDriver_FailurePredictData";
constexpr const char* kRunAsAdministrator = "Run tolvex-query as administrator";

// HRESULTs of the management service that say "not on this machine" or
// "not for this user".
constexpr HRESULT kWbemAccessDenied = static_cast<HRESULT>(0x80041003);
constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(0x80041002);
constexpr HRESULT kWbemNotSupported = static_cast<HRESULT>(0x8004100C);
constexpr HRESULT kWbemInvalidNamespace = static_cast<HRESULT>(0x8004100E);
constexpr HRESULT kWbemInvalidClass = static_cast<HRESULT>(0x80041010);

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::string textOrEmpty(const ManagementValue& value) {
    return value.kind() == ManagementValue::Kind::Text ? value.asText() : std::string();
}

// The system's words for a Win32 error code.
std::string systemWords(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string words;
    if (length != 0 && buffer != nullptr) {
        words = winvariant::utf16ToUtf8(buffer);
    }
    LocalFree(buffer);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.')) {
        words.pop_back();
    }
    return words.empty() ? "error " + std::to_string(code) : words;
}

// ----- The temperature, from the drive's driver -----

struct TemperatureRead {
    std::optional<DriveTemperature> value;
    NullReason reason;
};

NullReason ioReason(DWORD code, const std::string& source) {
    const std::string said = source + " (" + systemWords(code) + ")";
    switch (code) {
        case ERROR_ACCESS_DENIED:
            return {NullReason::Kind::NeedsAdministrator, said, kRunAsAdministrator};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return {NullReason::Kind::NotProvided, said, {}};
        default:
            return {NullReason::Kind::Unreadable, said, {}};
    }
}

TemperatureRead readTemperature(const std::string& deviceId) {
    const std::string source = deviceId + " StorageDeviceTemperatureProperty";
    if (deviceId.empty()) {
        return {std::nullopt, {NullReason::Kind::NotProvided, source, {}}};
    }
    const std::u16string path = utf8::toUtf16(deviceId);
    // No access rights: the storage queries need none, and no administrator.
    const HANDLE drive =
        CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) {
        return {std::nullopt, ioReason(GetLastError(), source)};
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceTemperatureProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(8) unsigned char answer[512] = {};
    DWORD returned = 0;
    const BOOL asked = DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                       answer, sizeof answer, &returned, nullptr);
    const DWORD code = asked ? ERROR_SUCCESS : GetLastError();
    CloseHandle(drive);
    if (!asked) {
        return {std::nullopt, ioReason(code, source)};
    }
    auto temperature = parseTemperatureDescriptor(answer, returned);
    if (!temperature) {
        return {std::nullopt,
                {NullReason::Kind::Unreadable, source + " (the answer holds no sensor)", {}}};
    }
    return {temperature, {}};
}

// ----- SMART, from root\wmi -----

// The instances of a root\wmi class by their InstanceName (upper case, the
// "_0" the driver appends dropped, so that it is the drive's PNPDeviceID),
// each with the named property's value; or why the class could not be read.
struct WmiClassRead {
    std::map<std::string, Variant*> byDrive;
    std::vector<std::unique_ptr<Variant>> values;
    NullReason reason;
};

NullReason wmiReason(HRESULT hr, const std::string& source) {
    switch (hr) {
        case kWbemAccessDenied:
        case E_ACCESSDENIED:
            return {NullReason::Kind::NeedsAdministrator, source, kRunAsAdministrator};
        case kWbemInvalidNamespace:
        case kWbemInvalidClass:
        case kWbemNotFound:
        case kWbemNotSupported:
            return {NullReason::Kind::NotProvided, source, {}};
        default:
            return {NullReason::Kind::Unreadable,
                    source + " (" + comFailure(hr).description() + ")",
                    {}};
    }
}

std::string driveKey(std::string instanceName) {
    instanceName = upper(std::move(instanceName));
    const auto underscore = instanceName.rfind('_');
    if (underscore != std::string::npos && underscore + 1 < instanceName.size() &&
        instanceName.find_first_not_of("0123456789", underscore + 1) == std::string::npos) {
        instanceName.erase(underscore);
    }
    return instanceName;
}

HRESULT readVariant(ISWbemObject* object, const char* name, VARIANT* out) {
    ComRef<ISWbemPropertySet> properties;
    HRESULT hr = object->get_Properties_(properties.put());
    if (FAILED(hr) || !properties) {
        return FAILED(hr) ? hr : E_POINTER;
    }
    ComRef<ISWbemProperty> property;
    Bstr bname(name);
    hr = properties->Item(bname.get(), 0, property.put());
    if (FAILED(hr) || !property) {
        return FAILED(hr) ? hr : E_POINTER;
    }
    return property->get_Value(out);
}

WmiClassRead readWmiClass(const char* className, const char* valueName) {
    WmiClassRead read;
    const std::string source = std::string(kWmiNamespace) + ":" + className;
    Bstr moniker(std::string("winmgmts:{impersonationLevel=impersonate}!\\\\.\\") + kWmiNamespace);
    ComRef<IDispatch> bound;
    HRESULT hr = CoGetObject(moniker.get(), nullptr, __uuidof(IDispatch),
                             reinterpret_cast<void**>(bound.put()));
    ComRef<ISWbemServices> services;
    if (SUCCEEDED(hr)) {
        hr = bound->QueryInterface(__uuidof(ISWbemServices),
                                   reinterpret_cast<void**>(services.put()));
    }
    // Whole before it is handed over (no wbemFlagReturnImmediately), so a
    // refusal is this call's answer and not a later step's.
    ComRef<ISWbemObjectSet> set;
    if (SUCCEEDED(hr)) {
        Bstr bclass(className);
        hr = services->InstancesOf(bclass.get(), 0, nullptr, set.put());
    }
    ComRef<IUnknown> unknown;
    if (SUCCEEDED(hr)) {
        hr = set ? set->get__NewEnum(unknown.put()) : E_POINTER;
    }
    ComRef<IEnumVARIANT> walk;
    if (SUCCEEDED(hr)) {
        hr = unknown->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(walk.put()));
    }
    while (SUCCEEDED(hr)) {
        Variant item;
        ULONG fetched = 0;
        hr = walk->Next(1, item.get(), &fetched);
        if (FAILED(hr) || hr != S_OK || fetched == 0) {
            break;
        }
        if (item.value().vt != VT_DISPATCH || item.value().pdispVal == nullptr) {
            continue;
        }
        ComRef<ISWbemObject> object;
        if (FAILED(item.value().pdispVal->QueryInterface(__uuidof(ISWbemObject),
                                                         reinterpret_cast<void**>(object.put())))) {
            continue;
        }
        Variant name;
        auto value = std::make_unique<Variant>();
        if (SUCCEEDED(readVariant(object.get(), "InstanceName", name.get())) &&
            name.value().vt == VT_BSTR &&
            SUCCEEDED(readVariant(object.get(), valueName, value->get()))) {
            read.byDrive[driveKey(winvariant::utf16ToUtf8(name.value().bstrVal))] = value.get();
            read.values.push_back(std::move(value));
        }
    }
    if (FAILED(hr)) {
        read.byDrive.clear();
        read.reason = wmiReason(hr, source);
    }
    return read;
}

// The bytes of a uint8[] value, as the scripting interface hands it over
// (an array of bytes, or of variants each holding a number).
std::vector<unsigned char> bytesOf(const VARIANT& value) {
    std::vector<unsigned char> out;
    if ((value.vt & VT_ARRAY) == 0 || value.parray == nullptr ||
        SafeArrayGetDim(value.parray) != 1) {
        return out;
    }
    LONG lower = 0;
    LONG upperBound = -1;
    if (FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(value.parray, 1, &upperBound))) {
        return out;
    }
    for (LONG i = lower; i <= upperBound; ++i) {
        if ((value.vt & VT_TYPEMASK) == VT_UI1) {
            unsigned char byte = 0;
            if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, &byte))) {
                out.push_back(byte);
            }
        } else if ((value.vt & VT_TYPEMASK) == VT_VARIANT) {
            Variant element;
            if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, element.get())) &&
                SUCCEEDED(VariantChangeType(element.get(), element.get(), 0, VT_UI1))) {
                out.push_back(element.value().bVal);
            }
        }
    }
    return out;
}

// ----- The instances -----

struct Drive {
    std::string path;
    std::string deviceId;
    std::string pnpDeviceId;
};

std::vector<Drive> listDrives(ManagementService& service) {
    std::vector<Drive> drives;
    const auto set = service.instancesOf(wmi::cls::DiskDrive, 0);
    const auto walk = set->enumerate();
    while (const auto drive = walk->next()) {
        drives.push_back({drive->path(), textOrEmpty(drive->property(prop::DeviceID)),
                          textOrEmpty(drive->property(prop::PNPDeviceID))});
    }
    return drives;
}

class HealthBuilder {
  public:
    void add(const char* name, ManagementValue value, NullReason reason = {}) {
        m_properties.emplace_back(name, std::move(value));
        m_reasons.push_back(m_properties.back().second.isNull() ? std::move(reason) : NullReason{});
    }

    ObjectPtr build(const std::string& path) {
        return std::make_shared<StaticObject>(wmi::cls::DiskDriveHealth, path,
                                              std::move(m_properties), std::move(m_reasons));
    }

  private:
    std::vector<StaticObject::Property> m_properties;
    std::vector<NullReason> m_reasons;
};

ManagementValue celsiusValue(const std::optional<std::int16_t>& celsius) {
    return celsius ? ManagementValue::real(*celsius) : ManagementValue::null();
}

std::string wmiSource(const char* className) {
    return std::string(kWmiNamespace) + ":" + className;
}

// The temperature and its limits, from the drive's driver.
void addTemperatures(HealthBuilder& health, const Drive& drive,
                     const TemperatureRead& temperature) {
    if (!temperature.value) {
        health.add(prop::Temperature, ManagementValue::null(), temperature.reason);
        health.add(prop::TemperatureWarning, ManagementValue::null(), temperature.reason);
        health.add(prop::TemperatureCritical, ManagementValue::null(), temperature.reason);
        return;
    }
    const NullReason noLimit{NullReason::Kind::NotProvided,
                             drive.deviceId +
                                 " StorageDeviceTemperatureProperty (the drive "
                                 "reports no such limit)",
                             {}};
    health.add(prop::Temperature, celsiusValue(temperature.value->celsius));
    health.add(prop::TemperatureWarning, celsiusValue(temperature.value->warningCelsius), noLimit);
    health.add(prop::TemperatureCritical, celsiusValue(temperature.value->criticalCelsius),
               noLimit);
}

// SMART's verdict on the drive, from its instance of the status class.
struct Verdict {
    ManagementValue failing = ManagementValue::null();
    NullReason reason;
};

Verdict smartVerdict(const WmiClassRead& status, const Drive& drive) {
    const std::string source = wmiSource(kPredictStatus);
    Verdict out;
    out.reason = status.reason.given()
                     ? status.reason
                     : NullReason{NullReason::Kind::NotProvided,
                                  source + " (no instance for " + drive.pnpDeviceId + ")",
                                  {}};
    const auto found = status.byDrive.find(upper(drive.pnpDeviceId));
    if (status.reason.given() || found == status.byDrive.end()) {
        return out;
    }
    const VARIANT& value = found->second->value();
    if (value.vt == VT_BOOL) {
        out.failing = ManagementValue::boolean(value.boolVal != VARIANT_FALSE);
    } else {
        out.reason = {NullReason::Kind::Unreadable, source + " (PredictFailure is no Boolean)", {}};
    }
    return out;
}

// SMART's counters, from the drive's instance of the data class.
struct Counters {
    SmartCounts counts;
    NullReason reason;
};

Counters smartCounters(const WmiClassRead& data, const Drive& drive) {
    const std::string source = wmiSource(kPredictData);
    const auto found = data.byDrive.find(upper(drive.pnpDeviceId));
    if (data.reason.given()) {
        return {{}, data.reason};
    }
    if (found == data.byDrive.end()) {
        return {{},
                {NullReason::Kind::NotProvided,
                 source + " (no instance for " + drive.pnpDeviceId + ")",
                 {}}};
    }
    const std::vector<unsigned char> bytes = bytesOf(found->second->value());
    return {parseSmartAttributes(bytes.data(), bytes.size()),
            {NullReason::Kind::NotProvided, source + " (the drive keeps no such attribute)", {}}};
}

// The classes that answered for SmartFailing, PowerOnHours and BadSectors.
ManagementValue healthSource(const Verdict& verdict, const SmartCounts& counts) {
    std::string source = verdict.failing.isNull() ? std::string() : wmiSource(kPredictStatus);
    if (counts.powerOnHours || counts.badSectors) {
        source += (source.empty() ? "" : ", ") + wmiSource(kPredictData);
    }
    return source.empty() ? ManagementValue::null() : ManagementValue::text(source);
}

// The health instance's path: on the drive's host and namespace.
std::string healthPath(const Drive& drive) {
    ObjectPath path;
    path.host = ".";
    if (const auto drivePath = ObjectPath::parse(drive.path)) {
        path.host = drivePath->host;
        path.nameSpace = drivePath->nameSpace;
    }
    path.className = wmi::cls::DiskDriveHealth;
    path.keyName = prop::DeviceID;
    path.keyValue = drive.deviceId;
    return path.text();
}

ObjectPtr driveHealth(const Drive& drive, const WmiClassRead& status, const WmiClassRead& data) {
    HealthBuilder health;
    health.add(
        prop::DeviceID,
        drive.deviceId.empty() ? ManagementValue::null() : ManagementValue::text(drive.deviceId),
        {NullReason::Kind::ServiceGaveNoValue, {}, {}});
    const TemperatureRead temperature = readTemperature(drive.deviceId);
    addTemperatures(health, drive, temperature);
    const Verdict verdict = smartVerdict(status, drive);
    health.add(prop::SmartFailing, verdict.failing, verdict.reason);
    const Counters counters = smartCounters(data, drive);
    const SmartCounts& counts = counters.counts;
    health.add(prop::PowerOnHours,
               counts.powerOnHours
                   ? ManagementValue::integer(static_cast<std::int64_t>(*counts.powerOnHours))
                   : ManagementValue::null(),
               counters.reason);
    health.add(prop::BadSectors,
               counts.badSectors ? ManagementValue::text(std::to_string(*counts.badSectors))
                                 : ManagementValue::null(),
               counters.reason);
    health.add(prop::TemperatureSource,
               temperature.value
                   ? ManagementValue::text(drive.deviceId + " StorageDeviceTemperatureProperty")
                   : ManagementValue::null(),
               temperature.reason);
    health.add(prop::HealthSource, healthSource(verdict, counts), verdict.reason);
    return health.build(healthPath(drive));
}

}  // namespace

ObjectSetPtr diskDriveHealth(ManagementService& service) {
    const std::vector<Drive> drives = listDrives(service);
    std::vector<ObjectPtr> objects;
    if (drives.empty()) {
        return std::make_shared<VectorObjectSet>(std::move(objects));
    }
    const WmiClassRead status = readWmiClass(kPredictStatus, "PredictFailure");
    const WmiClassRead data = readWmiClass(kPredictData, "VendorSpecific");
    for (const Drive& drive : drives) {
        objects.push_back(driveHealth(drive, status, data));
    }
    return std::make_shared<VectorObjectSet>(std::move(objects));
}

}  // namespace tolvex::windows
