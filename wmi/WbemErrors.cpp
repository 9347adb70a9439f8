#include "wmi/WbemErrors.h"

#include <array>
#include <cstdio>
#include <utility>

namespace tolvex {

namespace {

struct CodeWords {
    std::uint32_t code;
    const char* words;
};

// The management service's own codes (WBEM_E_*), the scripting interface's
// and the COM codes a call through it can end with. Sorted by code.
constexpr CodeWords kTable[] = {
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004004, "Operation aborted"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80020003, "Member not found"},
    {0x80020005, "Type mismatch"},
    {0x80020006, "Unknown name"},
    {0x80020009, "Exception occurred"},
    {0x8002000E, "Invalid number of parameters"},
    {0x80040154, "Class not registered"},
    {0x800401E4, "Invalid syntax"},
    {0x800401F0, "CoInitialize has not been called"},
    {0x80041001, "Generic failure"},
    {0x80041002, "Not found"},
    {0x80041003, "Access denied"},
    {0x80041004, "Provider failure"},
    {0x80041005, "Type mismatch"},
    {0x80041006, "Out of memory"},
    {0x80041007, "Invalid context"},
    {0x80041008, "Invalid parameter"},
    {0x80041009, "Not available"},
    {0x8004100A, "Critical error"},
    {0x8004100B, "Invalid stream"},
    {0x8004100C, "Not supported"},
    {0x8004100D, "Invalid superclass"},
    {0x8004100E, "Invalid namespace"},
    {0x8004100F, "Invalid object"},
    {0x80041010, "Invalid class"},
    {0x80041011, "Provider not found"},
    {0x80041012, "Invalid provider registration"},
    {0x80041013, "Provider load failure"},
    {0x80041014, "Initialization failure"},
    {0x80041015, "Transport failure"},
    {0x80041016, "Invalid operation"},
    {0x80041017, "Invalid query"},
    {0x80041018, "Invalid query type"},
    {0x80041019, "Already exists"},
    {0x8004101D, "Unexpected error"},
    {0x8004101E, "Illegal operation"},
    {0x80041021, "Invalid syntax"},
    {0x80041024, "Provider not capable"},
    {0x80041027, "Query not implemented"},
    {0x80041028, "Illegal null value"},
    {0x8004102A, "Invalid property type"},
    {0x8004102B, "Value out of range"},
    {0x80041031, "Invalid property"},
    {0x80041032, "Call cancelled"},
    {0x80041033, "Shutting down"},
    {0x8004103A, "Invalid object path"},
    {0x80041045, "Server too busy"},
    {0x80041055, "Method not implemented"},
    {0x80041062, "Privilege not held"},
    {0x80041064, "Local credentials"},
    {0x80041069, "Timed out"},
    {0x80041071, "Connection failed"},
    {0x80041083, "No schema"},
    {0x80041086, "Fatal transport error"},
    {0x80043001, "Timed out"},
    {0x80070005, "Access denied"},
    {0x8007000E, "Out of memory"},
    {0x80070057, "Invalid parameter"},
    {0x800706BA, "The RPC server is unavailable"},
    {0x800706BE, "The remote procedure call failed"},
};

const char* wordsFor(std::uint32_t code) {
    for (const auto& entry : kTable) {
        if (entry.code == code) {
            return entry.words;
        }
    }
    // Unlisted codes still say where they come from.
    if ((code & 0xFFFFF000u) == 0x80041000u) {
        return "Management service error";
    }
    if ((code & 0xFFFF0000u) == 0x80070000u) {
        return "System error";
    }
    return "Unknown error";
}

}  // namespace

std::string wbemErrorText(std::uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    return std::string(wordsFor(code)) + " (" + hex + ")";
}

}  // namespace tolvex
