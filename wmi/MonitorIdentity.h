#pragma once

#include <optional>
#include <string>

#include "wmi/Management.h"
#include "wmi/NullReason.h"

namespace tolvex {

// One monitor as a provider found it: where, whether it is in use, and its
// EDID as read (the same bytes on every platform give the same answer).
struct MonitorRead {
    std::string host;          // for the object path
    std::string instanceName;  // the key: "card0-HDMI-A-1", "DISPLAY\DELA0A5\5&2f5b&0&UID4353_0"
    std::optional<bool> active;
    NullReason whyNoActive;           // when active has no value
    std::optional<std::string> edid;  // no value when it could not be read
    NullReason whyNoEdid;             // when edid has no value
    std::string edidSource;           // the file or registry value, named in reasons
};

// The WmiMonitorID instance of a monitor, decoded by edid::decodeIdentity:
// ManufacturerName, ProductCodeID (decimal text), SerialNumberID,
// UserFriendlyName, WeekOfManufacture, YearOfManufacture, and the image size
// in centimetres. A field the EDID does not carry is Null, "not provided by
// this machine"; one whose bytes are missing or damaged (a truncated block, a
// bad checksum, no EDID header) is Null, "unreadable"; a model year leaves
// the week Null with a reason saying so. Its path is
// \\HOST\root\wmi:WmiMonitorID.InstanceName="...".
ObjectPtr monitorObject(const MonitorRead& monitor);

}  // namespace tolvex
