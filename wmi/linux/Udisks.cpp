// udisks over D-Bus with sd-bus, systemd's client library (libsystemd):
// it is on every systemd machine already, has a plain blocking call with
// a time limit of its own (no main loop, no threads, unlike GDBus), reads
// the nested dictionaries of GetManagedObjects with a handful of calls, and
// never asks for interactive authorisation unless told to. libdbus-1 would
// do as well, at about three times the code for the same reply.

#include "wmi/linux/Udisks.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

namespace tolvex::linuxprov {

namespace {

using Kind = NullReason::Kind;

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kDriveInterface = "org.freedesktop.UDisks2.Drive";
constexpr const char* kAtaInterface = "org.freedesktop.UDisks2.Drive.Ata";
constexpr const char* kBlockInterface = "org.freedesktop.UDisks2.Block";
// A reply larger than this is not udisks' (a machine with a thousand
// drives and partitions gives a few megabytes).
constexpr std::size_t kMaxObjects = 100000;

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageCloser {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Bus = std::unique_ptr<sd_bus, BusCloser>;
using Message = std::unique_ptr<sd_bus_message, MessageCloser>;

struct Block {
    std::string device;     // "/dev/sda"
    std::string drivePath;  // the drive object's path, "/" for none
};

// The properties of one object, as far as they are wanted here.
struct ObjectValues {
    bool drive = false;
    bool block = false;
    UdisksDrive values;
    Block blockValues;
};

// A variant holding one value of the basic D-Bus type `type`, read into
// `out`; false on a malformed message.
template <typename Raw>
bool readBasic(sd_bus_message* reply, const char* contents, char type, Raw& out) {
    return sd_bus_message_enter_container(reply, 'v', contents) > 0 &&
           sd_bus_message_read_basic(reply, type, &out) >= 0 &&
           sd_bus_message_exit_container(reply) >= 0;
}

// The property at the reader's position: its name and the signature of its
// variant, and its value read as one type or another.
struct PropertyReader {
    sd_bus_message* reply;
    const char* name;
    std::string signature;

    bool is(const char* wanted, const char* wantedSignature) const {
        return std::strcmp(name, wanted) == 0 && signature == wantedSignature;
    }
    bool text(std::optional<std::string>& out) const {
        const char* value = nullptr;
        if (!readBasic(reply, signature.c_str(), 's', value)) {
            return false;
        }
        out = value ? std::string(value) : std::string();
        return true;
    }
    bool boolean(std::optional<bool>& out) const {
        int value = 0;
        if (!readBasic(reply, signature.c_str(), 'b', value)) {
            return false;
        }
        out = value != 0;
        return true;
    }
    template <typename T>
    bool number(char type, std::optional<T>& out) const {
        T value = 0;
        if (!readBasic(reply, signature.c_str(), type, value)) {
            return false;
        }
        out = value;
        return true;
    }
};

// The Drive interface's names of the drive; no value for a property not
// wanted here, else whether it was read.
std::optional<bool> readDriveProperty(const PropertyReader& p, UdisksDrive& values) {
    if (p.is("Serial", "s")) {
        return p.text(values.serial);
    }
    if (p.is("WWN", "s")) {
        return p.text(values.wwn);
    }
    if (p.is("Model", "s")) {
        return p.text(values.model);
    }
    return std::nullopt;
}

// The Drive.Ata interface's SMART state and readings.
std::optional<bool> readAtaProperty(const PropertyReader& p, UdisksDrive& values) {
    if (p.is("SmartSupported", "b")) {
        return p.boolean(values.smartSupported);
    }
    if (p.is("SmartEnabled", "b")) {
        return p.boolean(values.smartEnabled);
    }
    if (p.is("SmartFailing", "b")) {
        return p.boolean(values.smartFailing);
    }
    if (p.is("SmartUpdated", "t")) {
        return p.number('t', values.smartUpdated);
    }
    if (p.is("SmartPowerOnSeconds", "t")) {
        return p.number('t', values.smartPowerOnSeconds);
    }
    if (p.is("SmartTemperature", "d")) {
        return p.number('d', values.smartTemperatureKelvin);
    }
    if (p.is("SmartNumBadSectors", "x")) {
        return p.number('x', values.smartNumBadSectors);
    }
    return std::nullopt;
}

// The Block interface's device file and the drive it belongs to.
std::optional<bool> readBlockProperty(const PropertyReader& p, Block& block) {
    if (p.is("Device", "ay")) {
        const void* bytes = nullptr;
        std::size_t size = 0;
        if (sd_bus_message_enter_container(p.reply, 'v', p.signature.c_str()) <= 0 ||
            sd_bus_message_read_array(p.reply, 'y', &bytes, &size) < 0 ||
            sd_bus_message_exit_container(p.reply) < 0) {
            return false;
        }
        std::string device(static_cast<const char*>(bytes), size);
        // A byte string with its terminating zero.
        block.device = device.substr(0, device.find('\0'));
        return true;
    }
    if (p.is("Drive", "o")) {
        const char* value = nullptr;
        if (!readBasic(p.reply, p.signature.c_str(), 'o', value)) {
            return false;
        }
        block.drivePath = value ? value : "/";
        return true;
    }
    return std::nullopt;
}

// One property's value, read when it has the expected type and skipped
// otherwise; false on a malformed message.
bool readProperty(sd_bus_message* reply, const std::string& interface, const char* name,
                  ObjectValues& object) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(reply, &type, &contents) <= 0 || type != 'v' || !contents) {
        return false;
    }
    const PropertyReader property{reply, name, contents};
    std::optional<bool> read;
    if (interface == kDriveInterface) {
        read = readDriveProperty(property, object.values);
    } else if (interface == kAtaInterface) {
        read = readAtaProperty(property, object.values);
    } else if (interface == kBlockInterface) {
        read = readBlockProperty(property, object.blockValues);
    }
    return read ? *read : sd_bus_message_skip(reply, "v") >= 0;
}

// The reply of GetManagedObjects, a{oa{sa{sv}}}, by object path; no value
// when it is malformed.
std::optional<std::map<std::string, ObjectValues>> readObjects(sd_bus_message* reply) {
    std::map<std::string, ObjectValues> objects;
    if (sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}") <= 0) {
        return std::nullopt;
    }
    int r = 0;
    while ((r = sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}")) > 0) {
        const char* path = nullptr;
        if (objects.size() >= kMaxObjects || sd_bus_message_read_basic(reply, 'o', &path) < 0 ||
            sd_bus_message_enter_container(reply, 'a', "{sa{sv}}") <= 0) {
            return std::nullopt;
        }
        ObjectValues& object = objects[path];
        while ((r = sd_bus_message_enter_container(reply, 'e', "sa{sv}")) > 0) {
            const char* interfaceName = nullptr;
            if (sd_bus_message_read_basic(reply, 's', &interfaceName) < 0 ||
                sd_bus_message_enter_container(reply, 'a', "{sv}") <= 0) {
                return std::nullopt;
            }
            const std::string interface = interfaceName;
            object.drive = object.drive || interface == kDriveInterface;
            object.values.ata = object.values.ata || interface == kAtaInterface;
            object.block = object.block || interface == kBlockInterface;
            while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
                const char* name = nullptr;
                if (sd_bus_message_read_basic(reply, 's', &name) < 0 ||
                    !readProperty(reply, interface, name, object) ||
                    sd_bus_message_exit_container(reply) < 0) {
                    return std::nullopt;
                }
            }
            if (r < 0 || sd_bus_message_exit_container(reply) < 0 ||
                sd_bus_message_exit_container(reply) < 0) {
                return std::nullopt;
            }
        }
        if (r < 0 || sd_bus_message_exit_container(reply) < 0 ||
            sd_bus_message_exit_container(reply) < 0) {
            return std::nullopt;
        }
    }
    if (r < 0 || sd_bus_message_exit_container(reply) < 0) {
        return std::nullopt;
    }
    return objects;
}

UdisksAnswer failed(Kind kind, std::string source, std::string remedy = {}) {
    UdisksAnswer answer;
    answer.failure = kind;
    answer.source = std::move(source);
    answer.remedy = std::move(remedy);
    return answer;
}

// A client of the system bus, or of the bus at `address` when one is given;
// a negative error number when it cannot connect.
int openBus(const std::string& address, sd_bus** raw) {
    if (address.empty()) {
        return sd_bus_open_system(raw);
    }
    int r = sd_bus_new(raw);
    if (r >= 0) {
        sd_bus_set_address(*raw, address.c_str());
        sd_bus_set_bus_client(*raw, 1);
        r = sd_bus_start(*raw);
    }
    return r;
}

// Why a call to udisks failed, in the words of its D-Bus error (`name`,
// empty for none) or of the error number `r`.
UdisksAnswer callFailure(int r, const std::string& name, const std::string& message) {
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        return failed(Kind::NotProvided, "udisks (not running)",
                      "Start udisks2 (systemctl start udisks2) for the drives' SMART health");
    }
    if (r == -ETIMEDOUT || name == "org.freedesktop.DBus.Error.NoReply" ||
        name == "org.freedesktop.DBus.Error.Timeout" ||
        name == "org.freedesktop.DBus.Error.TimedOut") {
        return failed(Kind::Unreadable, "udisks (timed out)");
    }
    if (name == "org.freedesktop.DBus.Error.AccessDenied") {
        return failed(Kind::NeedsAdministrator, "udisks (access denied)",
                      "Allow udisks' properties to be read on the system bus");
    }
    return failed(Kind::Unreadable, "udisks (" + message + ")");
}

// The drives of udisks' objects, each under the kernel name of the block
// device that leads to it.
UdisksAnswer drivesOf(const std::map<std::string, ObjectValues>& objects) {
    UdisksAnswer answer;
    answer.failure = Kind::None;
    answer.source = "udisks";
    for (const auto& [path, object] : objects) {
        if (!object.block || object.blockValues.device.rfind("/dev/", 0) != 0) {
            continue;
        }
        const auto drive = objects.find(object.blockValues.drivePath);
        if (drive == objects.end() || !drive->second.drive) {
            continue;
        }
        UdisksDrive values = drive->second.values;
        values.kernelName = object.blockValues.device.substr(5);
        answer.drives.push_back(std::move(values));
    }
    return answer;
}

}  // namespace

const UdisksDrive* UdisksAnswer::drive(const std::string& kernelName) const {
    for (const auto& candidate : drives) {
        if (candidate.kernelName == kernelName) {
            return &candidate;
        }
    }
    return nullptr;
}

UdisksAnswer readUdisks(const std::string& address, std::chrono::milliseconds timeout) {
    const std::uint64_t timeoutUsec = static_cast<std::uint64_t>(timeout.count()) * 1000;
    sd_bus* raw = nullptr;
    int r = openBus(address, &raw);
    Bus bus(raw);
    if (r < 0) {
        return failed(Kind::NotProvided,
                      std::string("udisks (no system bus: ") + std::strerror(-r) + ")");
    }
    // Never an interactive authorisation prompt: the properties read here
    // need none, and a query must not wait for a person.
    sd_bus_set_allow_interactive_authorization(bus.get(), 0);
    sd_bus_set_method_call_timeout(bus.get(), timeoutUsec);

    sd_bus_message* rawCall = nullptr;
    r = sd_bus_message_new_method_call(bus.get(), &rawCall, kService, "/org/freedesktop/UDisks2",
                                       "org.freedesktop.DBus.ObjectManager", "GetManagedObjects");
    Message call(rawCall);
    if (r < 0) {
        return failed(Kind::Unreadable, std::string("udisks (") + std::strerror(-r) + ")");
    }
    // A stopped udisks is not started for a query: that is the system's
    // choice, and starting it probes every drive.
    sd_bus_message_set_auto_start(call.get(), 0);

    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* rawReply = nullptr;
    r = sd_bus_call(bus.get(), call.get(), timeoutUsec, &error, &rawReply);
    Message reply(rawReply);
    if (r < 0) {
        const std::string name = error.name ? error.name : "";
        const std::string message = error.message ? error.message : std::strerror(-r);
        sd_bus_error_free(&error);
        return callFailure(r, name, message);
    }
    sd_bus_error_free(&error);

    const auto objects = readObjects(reply.get());
    if (!objects) {
        return failed(Kind::Unreadable, "udisks (damaged)");
    }
    return drivesOf(*objects);
}

}  // namespace tolvex::linuxprov
