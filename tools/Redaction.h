#pragma once

// Hiding what identifies a machine in an answer, so that it can be shared.

#include <string>
#include <vector>

#include "tools/QueryFormats.h"
#include "wmi/HostRecord.h"

namespace tolvex::query {

// What is hidden, one line each, for the usage text.
std::string redactedList();

// Replaces, in every text value and object path of the answer and in the
// host, the values that identify the machine: serial numbers, MAC
// addresses, UUIDs and machine ids, host names (also as the server of
// object paths), IP addresses and volume serial numbers. Each is found by its
// property (SerialNumber, MACAddress, CSName, SystemName,
// VolumeSerialNumber, ...) or by its form (a MAC address, a UUID, an IPv4
// address) and replaced wherever it occurs by a placeholder of the same
// form ("SERIAL-1", "02:00:00:00:00:01", "192.0.2.1", "host-1", ...). Equal
// values (compared without regard to case) get the same placeholder. Values
// that identify nothing (empty, "None", "To Be Filled By O.E.M.", one
// character repeated) are left alone.
void redact(std::vector<ClassAnswer>& answers, HostRecord* host);

}  // namespace tolvex::query
