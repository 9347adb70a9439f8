// The management service through its scripting interface (wbemdisp). Wine's
// implementation lacks SWbemObject.Path_ and SWbemObjectSet.Item; where a call
// answers E_NOTIMPL we read the __PATH system property and look the path up
// through the service instead, so the real service keeps its own path and
// look-up. ItemIndex is never used: Wine's crashes past the first instance.
#include "wmi/windows/WindowsService.h"

#include <objbase.h>
#include <wbemcli.h>
#include <wbemdisp.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "wmi/Management.h"
#include "wmi/WmiNames.h"
#include "wmi/windows/Com.h"
#include "wmi/windows/DiskDriveHealth.h"
#include "wmi/windows/Monitors.h"
#include "wmi/windows/VariantValue.h"
#include "wmi/windows/VideoMemory.h"

namespace tolvex::windows {

namespace {

constexpr const char* kPathProperty = "__PATH";
constexpr const char* kClassProperty = "__CLASS";
constexpr const char* kNamespaceProperty = "__NAMESPACE";

// WbemScripting's lower layer, WbemLocator; not in MinGW's uuid library.
constexpr CLSID kWbemLocator = {
    0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

// The uint32 properties of the classes this program reads, as the schema
// declares them. Not every service reports a property's type (Wine does not),
// and the scripting interface hands uint32 values over as signed VT_I4.
bool isSchemaUnsigned32(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "AdapterRAM",
        "BytesPerSector",
        "ConfiguredClockSpeed",
        "CurrentBitsPerPixel",
        "CurrentClockSpeed",
        "CurrentHorizontalResolution",
        "CurrentRefreshRate",
        "CurrentVerticalResolution",
        "DriveType",
        "ExtClock",
        "Index",
        "L2CacheSize",
        "L2CacheSpeed",
        "MaxClockSpeed",
        "MaxDataWidth",
        "NumberOfLicensedUsers",
        "NumberOfUsers",
        "OSProductSuite",
        "Partitions",
        "SectorsPerTrack",
        "Speed",
        "TracksPerCylinder",
    };
    for (const std::string_view known : kNames) {
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return true;
        }
    }
    return false;
}

ManagementValue readProperty(ISWbemObject* object, std::string_view name) {
    ComRef<ISWbemPropertySet> properties;
    check(object->get_Properties_(properties.put()));
    ComRef<ISWbemProperty> property;
    Bstr bname(name);
    // The property set matches names without regard to case; a name the
    // class lacks fails here (not found).
    check(properties->Item(bname.get(), 0, property.put()));
    Variant value;
    check(property->get_Value(value.get()));
    const ManagementValue read = winvariant::toManagementValue(value.value());
    WbemCimtypeEnum type{};
    if ((SUCCEEDED(property->get_CIMType(&type)) && type == wbemCimtypeUint32) ||
        isSchemaUnsigned32(name)) {
        return winvariant::asUnsigned32(read);
    }
    return read;
}

std::string textProperty(ISWbemObject* object, std::string_view name) {
    const ManagementValue value = readProperty(object, name);
    if (value.kind() != ManagementValue::Kind::Text) {
        throw Failure("Invalid use of Null: the instance has no " + std::string(name) + ".");
    }
    return value.asText();
}

// The non-system property names of a class, in the class's order, from the
// service's own class definition.
std::vector<std::string> classPropertyNames(const std::string& nameSpace,
                                            const std::string& className) {
    ComRef<IWbemLocator> locator;
    check(CoCreateInstance(kWbemLocator, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                           reinterpret_cast<void**>(locator.put())));
    ComRef<IWbemServices> services;
    Bstr bnamespace(nameSpace);
    check(locator->ConnectServer(bnamespace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                 services.put()));
    ComRef<IWbemClassObject> definition;
    Bstr bclass(className);
    check(services->GetObject(bclass.get(), 0, nullptr, definition.put(), nullptr));
    SAFEARRAY* array = nullptr;
    check(definition->GetNames(nullptr, WBEM_FLAG_ALWAYS | WBEM_FLAG_NONSYSTEM_ONLY, nullptr,
                               &array));
    std::vector<std::string> names;
    LONG lower = 0;
    LONG upper = -1;
    if (array != nullptr && SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) &&
        SUCCEEDED(SafeArrayGetUBound(array, 1, &upper))) {
        for (LONG i = lower; i <= upper; ++i) {
            Bstr name;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, name.put()))) {
                names.push_back(name.utf8());
            }
        }
    }
    if (array != nullptr) {
        SafeArrayDestroy(array);
    }
    return names;
}

class WindowsObject : public ManagementObject {
  public:
    explicit WindowsObject(ComRef<ISWbemObject> object) : m_object(std::move(object)) {}

    std::string path() const override {
        ComRef<ISWbemObjectPath> objectPath;
        HRESULT hr = m_object->get_Path_(objectPath.put());
        if (SUCCEEDED(hr) && objectPath) {
            Bstr text;
            hr = objectPath->get_Path(text.put());
            if (SUCCEEDED(hr)) {
                return text.utf8();
            }
        }
        if (hr != E_NOTIMPL) {
            throw comFailure(hr);
        }
        const ManagementValue value = readProperty(m_object.get(), kPathProperty);
        // An instance without a path (Null) has the empty path, which the
        // detection skips.
        return value.kind() == ManagementValue::Kind::Text ? value.asText() : std::string();
    }

    ManagementValue property(std::string_view name) const override {
        ManagementValue value = readProperty(m_object.get(), name);
        if (sameName(name, "AdapterRAM") &&
            sameName(textProperty(m_object.get(), kClassProperty), "Win32_VideoController")) {
            // 32 bits wide: the true size of a larger memory is in the
            // registry.
            const ManagementValue device = readProperty(m_object.get(), "PNPDeviceID");
            if (device.kind() == ManagementValue::Kind::Text) {
                value = trueAdapterRam(value, videoMemoryFromRegistry(device.asText()));
            }
        }
        return value;
    }

    // The service says nothing of why a value is missing.
    NullReason nullReason(std::string_view name) const override {
        if (!property(name).isNull()) {
            return {};
        }
        return {NullReason::Kind::ServiceGaveNoValue, {}, {}};
    }

    std::vector<std::string> propertyNames() const override {
        ComRef<ISWbemPropertySet> properties;
        check(m_object->get_Properties_(properties.put()));
        ComRef<IUnknown> unknown;
        const HRESULT hr = properties->get__NewEnum(unknown.put());
        if (hr == E_NOTIMPL) {
            // Wine cannot walk a property set; its class definition can
            // still be asked for the names.
            return classPropertyNames(textProperty(m_object.get(), kNamespaceProperty),
                                      textProperty(m_object.get(), kClassProperty));
        }
        check(hr);
        ComRef<IEnumVARIANT> walk;
        check(
            unknown->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(walk.put())));
        std::vector<std::string> names;
        for (;;) {
            Variant item;
            ULONG fetched = 0;
            const HRESULT stepResult = walk->Next(1, item.get(), &fetched);
            check(stepResult);
            if (stepResult != S_OK || fetched == 0) {
                break;
            }
            if (item.value().vt != VT_DISPATCH || item.value().pdispVal == nullptr) {
                continue;
            }
            ComRef<ISWbemProperty> property;
            check(item.value().pdispVal->QueryInterface(__uuidof(ISWbemProperty),
                                                        reinterpret_cast<void**>(property.put())));
            Bstr name;
            check(property->get_Name(name.put()));
            names.push_back(name.utf8());
        }
        return names;
    }

  private:
    ComRef<ISWbemObject> m_object;
};

ObjectPtr wrap(IDispatch* dispatch) {
    ComRef<ISWbemObject> object;
    check(dispatch->QueryInterface(__uuidof(ISWbemObject), reinterpret_cast<void**>(object.put())));
    return std::make_shared<WindowsObject>(std::move(object));
}

class WindowsEnumerator : public ObjectEnumerator {
  public:
    explicit WindowsEnumerator(ComRef<IEnumVARIANT> walk) : m_walk(std::move(walk)) {}

    ObjectPtr next() override {
        for (;;) {
            Variant item;
            ULONG fetched = 0;
            const HRESULT hr = m_walk->Next(1, item.get(), &fetched);
            check(hr);
            if (hr != S_OK || fetched == 0) {
                return nullptr;
            }
            if (item.value().vt == VT_DISPATCH && item.value().pdispVal != nullptr) {
                return wrap(item.value().pdispVal);
            }
        }
    }

  private:
    ComRef<IEnumVARIANT> m_walk;
};

class WindowsObjectSet : public ManagementObjectSet {
  public:
    WindowsObjectSet(ComRef<ISWbemObjectSet> set, ComRef<ISWbemServices> services)
        : m_set(std::move(set)), m_services(std::move(services)) {}

    std::int32_t count() const override {
        LONG count = 0;
        check(m_set->get_Count(&count));
        return static_cast<std::int32_t>(count);
    }

    std::unique_ptr<ObjectEnumerator> enumerate() const override {
        ComRef<IUnknown> unknown;
        check(m_set->get__NewEnum(unknown.put()));
        ComRef<IEnumVARIANT> walk;
        check(
            unknown->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(walk.put())));
        return std::make_unique<WindowsEnumerator>(std::move(walk));
    }

    ObjectPtr item(const std::string& path, int flags) const override {
        Bstr bpath(path);
        ComRef<ISWbemObject> object;
        HRESULT hr = m_set->Item(bpath.get(), flags, object.put());
        if (hr == E_NOTIMPL) {
            hr = m_services->Get(bpath.get(), flags, nullptr, object.put());
        }
        check(hr);
        if (!object) {
            throw comFailure(static_cast<HRESULT>(0x80041002));  // not found
        }
        return std::make_shared<WindowsObject>(std::move(object));
    }

  private:
    ComRef<ISWbemObjectSet> m_set;
    ComRef<ISWbemServices> m_services;
};

class WindowsService : public ManagementService {
  public:
    explicit WindowsService(ComRef<ISWbemServices> services) : m_services(std::move(services)) {}

    ObjectSetPtr instancesOf(std::string_view className, int flags) override {
        if (sameName(className, wmi::cls::MonitorID)) {
            // The service keeps its monitor classes in another namespace
            // (root\wmi), filled by the display driver and missing under
            // Wine; the EDIDs behind them are in the registry for any user.
            return std::make_shared<VectorObjectSet>(monitorsFromRegistry(computerName()));
        }
        if (sameName(className, wmi::cls::DiskDriveHealth)) {
            // Tolvex's own class: the service's drives, asked of their
            // drivers and of root\wmi.
            return diskDriveHealth(*this);
        }
        Bstr name(className);
        ComRef<ISWbemObjectSet> set;
        check(m_services->InstancesOf(name.get(), flags, nullptr, set.put()));
        if (!set) {
            throw comFailure(E_POINTER);
        }
        return std::make_shared<WindowsObjectSet>(std::move(set), m_services);
    }

  private:
    ComRef<ISWbemServices> m_services;
};

}  // namespace

ServicePtr bindService(std::string_view moniker) {
    // Single-threaded apartment, as a window's thread has. A thread that is
    // already initialised (S_FALSE, or another model) keeps its apartment.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) {
        throw comFailure(init);
    }
    Bstr name(moniker);
    ComRef<IDispatch> bound;
    check(CoGetObject(name.get(), nullptr, __uuidof(IDispatch),
                      reinterpret_cast<void**>(bound.put())));
    ComRef<ISWbemServices> services;
    check(
        bound->QueryInterface(__uuidof(ISWbemServices), reinterpret_cast<void**>(services.put())));
    return std::make_shared<WindowsService>(std::move(services));
}

}  // namespace tolvex::windows
