// Prints a machine whose texts hold everything the output forms must escape
// or replace, in the form tolvex-query would print it: "text", "json" or
// "prometheus" as the one argument. The Linux provider already turns control
// characters into blanks and bad bytes into U+FFFD, so line feeds, carriage
// returns and invalid UTF-8 can only reach the formatter from a service such
// as Windows'; this machine brings them in directly, and the node exporter
// test reads the result with the real exporter.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/QueryFormats.h"
#include "wmi/StaticObject.h"

namespace {

using tolvex::ManagementValue;
using tolvex::StaticObject;
using tolvex::query::ClassAnswer;

ManagementValue text(const std::string& value) {
    return ManagementValue::text(value);
}

std::vector<ClassAnswer> hostileMachine() {
    const std::string nasty = std::string("a \"quoted\" \\back\\slash\\n\nline\r\tend \xFF\xFE") +
                              "\xC3\x28 \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82 \x01\x7F" +
                              "\xE2\x9C\x93 ok \x1B[2J\x1B]0;title\x07 \xC2\x9B"
                              "31m \xC2\x85 \x9B";
    const auto object = [](const char* className, const std::string& key,
                           std::vector<StaticObject::Property> properties) {
        return std::make_shared<StaticObject>(
            className, "\\\\HOST\\root\\cimv2:" + std::string(className) + ".Key=\"" + key + "\"",
            std::move(properties));
    };
    std::vector<ClassAnswer> answers;
    answers.push_back({"Win32_Processor",
                       {object("Win32_Processor", "CPU0",
                               {{"DeviceID", text("CPU0")},
                                {"Name", text(nasty)},
                                {"Manufacturer", ManagementValue::null()},
                                {"Caption", text("\\")},
                                {"ProcessorId", text("\"")},
                                {"SocketDesignation", text("\n")},
                                {"NumberOfCores", ManagementValue::integer(64)},
                                {"NumberOfLogicalProcessors", ManagementValue::null()},
                                {"CurrentClockSpeed", ManagementValue::real(std::nan(""))},
                                {"MaxClockSpeed", ManagementValue::real(3500.5)},
                                {"ExtClock", text("not a number")},
                                {"L2CacheSize", ManagementValue::integer(1024)}}),
                        // The same key and texts again: one series, not two.
                        object("Win32_Processor", "CPU0",
                               {{"DeviceID", text("CPU0")},
                                {"Name", text(nasty)},
                                {"Manufacturer", ManagementValue::null()},
                                {"Caption", text("\\")},
                                {"ProcessorId", text("\"")},
                                {"SocketDesignation", text("\n")},
                                {"NumberOfCores", ManagementValue::integer(64)}}),
                        // A key that is Null, and properties the class lacks.
                        object("Win32_Processor", "",
                               {{"DeviceID", ManagementValue::null()},
                                {"Name", text("")},
                                {"NumberOfCores", ManagementValue::boolean(true)}})}});
    answers.push_back({"Win32_PhysicalMemory",
                       {object("Win32_PhysicalMemory", "Physical Memory 0",
                               {{"Tag", text("Physical Memory 0")},
                                {"BankLabel", text(nasty)},
                                {"Capacity", text("18446744073709551615")}}),
                        object("Win32_PhysicalMemory", "Physical Memory 1",
                               {{"Tag", text("Physical Memory 1")}, {"Capacity", text("")}})}});
    answers.push_back({"Win32_LogicalDisk",
                       {object("Win32_LogicalDisk", "/media/x",
                               {{"DeviceID", text("/media/\"usb\"\\\n\xFF")},
                                {"FileSystem", text("EXT4")},
                                {"VolumeName", text(nasty)},
                                {"DriveType", ManagementValue::integer(2)},
                                {"Size", text("1000000000000")},
                                {"FreeSpace", ManagementValue::integer(0)}})}});
    answers.push_back({"Win32_OperatingSystem",
                       {object("Win32_OperatingSystem", "os",
                               {{"Name", text(nasty)},
                                {"Caption", ManagementValue::null()},
                                {"TotalVisibleMemorySize", text("16318508")},
                                {"FreePhysicalMemory", ManagementValue::integer(-1)},
                                {"LastBootUpTime", text("20240229235959.500000-330")}})}});
    return answers;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string format = argc == 2 ? argv[1] : "";
    if (format != "text" && format != "json" && format != "prometheus") {
        std::fprintf(stderr, "usage: tolvex-hostile-answers text|json|prometheus\n");
        return 64;
    }
    const auto answers = hostileMachine();
    const std::string out = format == "text"   ? tolvex::query::formatText(answers)
                            : format == "json" ? tolvex::query::formatJson(answers)
                                               : tolvex::query::formatPrometheus(answers);
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0
               ? 0
               : 74;
}
