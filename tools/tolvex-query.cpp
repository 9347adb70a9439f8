// tolvex-query: prints every instance of management classes as the
// provider answers them, with each instance's object path and all its
// properties, as text, JSON or the Prometheus exposition format that the
// node exporter's textfile collector reads; --help lists the options and the
// exit statuses.
//
// Nothing reaches standard output unless the whole answer was formed: the
// output is built in memory and written at the end, so a failure never
// leaves half an answer for a script to mistake for a whole one.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/ExitStatus.h"
#include "net/HostAnswer.h"
#include "tolvex/Version.h"
#include "tools/OutputFile.h"
#include "tools/QueryFormats.h"
#include "tools/QuerySource.h"
#include "tools/Redaction.h"
#include "wmi/Management.h"
#include "wmi/snapshot/Snapshot.h"

namespace {

using tolvex::query::ClassAnswer;

constexpr const char* kProgram = "tolvex-query";

// Exit statuses, from sysexits.h where one fits; 64 to 66 are the ones
// tolvex shares (base/ExitStatus.h).
constexpr int kSuccess = 0;
constexpr int kUnknownClass = 2;
constexpr int kProviderFailed = 70;  // EX_SOFTWARE: the provider failed, or
                                     // anything else nobody expected
constexpr int kOutputFailed = 74;    // EX_IOERR

enum class Format { Text, Json, Prometheus };

struct Options {
    std::string root = "/";
    bool rootGiven = false;
    std::string snapshotFile;  // empty: the machine or the tree at root
    bool redact = false;
    Format format = Format::Text;
    std::string outputFile;  // empty: standard output
    std::vector<std::string> classes;
};

std::string joined(const std::vector<std::string>& names, const char* separator) {
    std::string out;
    for (const auto& name : names) {
        out += (out.empty() ? "" : separator) + name;
    }
    return out;
}

std::string indented(const std::string& lines, std::size_t by) {
    std::string out;
    std::size_t start = 0;
    while (start < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        out += std::string(by, ' ') + lines.substr(start, end - start) + "\n";
        start = end + 1;
    }
    return out;
}

std::string helpText() {
    std::string text =
        std::string("usage: ") + kProgram +
        " [--root DIR | --snapshot FILE] [--format text|json|prometheus]\n"
        "                    [--redact] [--output FILE] [CLASS]...\n"
        "\n"
        "Prints every instance of the management classes named (all of those listed\n"
        "below when none is named), as this machine's provider answers them: each\n"
        "instance's object path and all its properties. Class names are matched\n"
        "without regard to case.\n"
        "\n"
        "Options:\n"
        "  --root DIR       read the captured machine tree DIR (its /proc, /sys and\n"
        "                   the tolvex-syscalls.ini sidecar) instead of this machine\n"
        "  --snapshot FILE  answer from a snapshot (a --format json answer, or the\n"
        "                   per-host file of Ansible's tree output for the\n"
        "                   tolvex_facts module) instead of this machine\n"
        "  --format FORMAT  text (the default): the object path, then one\n"
        "                   \"Name = value\" line per property, Null as Null;\n"
        "                   json: one object keyed by class name, each class a list\n"
        "                   of {\"path\", \"properties\"}, Null as null, followed by\n"
        "                   \"tolvex:host\" (the host name and IP addresses) and\n"
        "                   \"tolvex:origin\" (program, version, platform, time\n"
        "                   taken): a snapshot, which tolvex --snapshot opens;\n"
        "                   prometheus: the text exposition format of the node\n"
        "                   exporter's textfile collector: tolvex_*_info metrics of\n"
        "                   value 1 with the identifying texts as labels (a Null\n"
        "                   text gives an empty label) and gauges in bytes, hertz\n"
        "                   and seconds (a Null quantity leaves its sample out)\n"
        "  --json           the same as --format json\n"
        "  --redact         hide what identifies the machine, in every format, behind\n"
        "                   stable placeholders (equal values stay equal):\n" +
        indented(tolvex::query::redactedList(), 19) +
        "  --output FILE    write to FILE instead of standard output, whole or not\n"
        "                   at all (a temporary file in the same folder, renamed)\n"
        "  -h, --help       print this help and exit\n"
        "  --version        print the version and exit\n"
        "\n"
        "Classes:\n";
    for (const auto& name : tolvex::queryClassNames()) {
        text += "  " + name + "\n";
    }
    text +=
        "\n"
        "A root that holds none of the files a class needs answers as Windows would for\n"
        "missing hardware: no instances, or for the board, the motherboard device and\n"
        "the operating system one instance whose properties are Null.\n"
        "\n"
        "Exit status:\n"
        "  0   success\n"
        "  2   a class the service does not know (the known classes are listed)\n"
        "  64  a usage error: an unknown option or format, an option without its value\n"
        "  65  the snapshot is not one (not JSON, cut off, wrong types, past its limits)\n"
        "  66  the root does not exist, is not a folder or cannot be read; the\n"
        "      snapshot cannot be opened\n"
        "  70  the provider failed (its description is printed), or an unexpected\n"
        "      error such as running out of memory (a message says which)\n"
        "  74  the output could not be written (a full disk, a closed standard output);\n"
        "      a reader that stops early ends the program by SIGPIPE, or with this\n"
        "      status and no message when SIGPIPE is ignored\n"
        "Nothing is printed on standard output when the status is not 0.\n";
    return text;
}

#ifdef _WIN32
constexpr const char* kPlatform = "Windows";
#else
constexpr const char* kPlatform = "Linux";
#endif

std::string versionText() {
    return std::to_string(tolvex::version::kMajor) + "." + std::to_string(tolvex::version::kMinor) +
           "." + std::to_string(tolvex::version::kRevision);
}

// The time now in UTC, as "2026-12-07T14:03:00Z"; SOURCE_DATE_EPOCH, where
// set, stands for now, so that two runs over the same machine can give the
// same bytes.
std::string utcNow() {
    std::time_t now = std::time(nullptr);
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        const long long seconds = std::strtoll(fixed, &end, 10);
        if (*fixed != '\0' && *end == '\0' && seconds >= 0) {
            now = static_cast<std::time_t>(seconds);
        }
    }
    char buffer[32] = {};
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return buffer;
}

// The host as the network panel would find it: on this machine, through the
// sockets layer; for a captured tree, the name it recorded (the operating
// system's CSName) and no addresses, as a tree holds none.
tolvex::HostRecord hostOf(const std::string& root, tolvex::ManagementService& service) {
    if (root == "/") {
        return tolvex::askHost(tolvex::platformSockets());
    }
    tolvex::HostRecord host;
    host.addresses.emplace();
    // The walk reads the set, which must outlive it.
    const auto set = service.instancesOf("Win32_OperatingSystem", tolvex::kReturnImmediately);
    auto walk = set->enumerate();
    if (const auto os = walk->next()) {
        const auto name = os->property("CSName");
        host.name = name.kind() == tolvex::ManagementValue::Kind::Text ? name.asText() : "";
    } else {
        host.name = "";
    }
    return host;
}

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

int usageError(const std::string& message) {
    complain(message);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    return tolvex::kCommandLineUsage;
}

// Writes the answer to standard output; a write that fails is reported, and
// one refused because the reader has gone (EPIPE, with SIGPIPE ignored) ends
// quietly, as other Unix tools do.
int writeStandardOutput(const std::string& bytes, bool outputOpen) {
    if (!outputOpen) {
        complain(std::string("standard output: ") + std::strerror(EBADF));
        return kOutputFailed;
    }
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                         std::fflush(stdout) == 0;
    if (written && std::fclose(stdout) == 0) {
        return kSuccess;
    }
    if (errno != EPIPE) {
        complain(std::string("standard output: ") + (errno ? std::strerror(errno) : "write error"));
    }
    return kOutputFailed;
}

int writeAnswer(const Options& options, const std::string& bytes, bool outputOpen) {
    if (options.outputFile.empty()) {
        // JSON and the Prometheus format are data with LF line ends, also on
        // a Windows console or pipe; the text is for reading, in the
        // console's own line ends.
        if (options.format != Format::Text) {
            tolvex::query::useBinaryStandardOutput();
        }
        return writeStandardOutput(bytes, outputOpen);
    }
    if (const std::string failure = tolvex::query::writeWholeFile(options.outputFile, bytes);
        !failure.empty()) {
        complain(failure);
        return kOutputFailed;
    }
    return kSuccess;
}

// The class's name as the service spells it, when it is one of its classes.
std::string knownName(const std::string& name) {
    for (const auto& known : tolvex::queryClassNames()) {
        if (tolvex::sameName(known, name)) {
            return known;
        }
    }
    return {};
}

// Reads every instance of each class. Returns the exit status.
int readClasses(const Options& options, const tolvex::ServicePtr& service,
                std::vector<ClassAnswer>& answers) {
    for (const auto& requested : options.classes) {
        const std::string known = knownName(requested);
        const std::string name = known.empty() ? requested : known;
        bool repeated = false;
        for (const auto& answer : answers) {
            repeated = repeated || answer.className == name;
        }
        if (repeated) {
            continue;
        }
        tolvex::ObjectSetPtr set;
        try {
            set = service->instancesOf(name, tolvex::kReturnImmediately);
        } catch (const tolvex::Failure& failure) {
            if (known.empty()) {
                complain(name + ": unknown class (" + failure.description() +
                         "); the classes are " + joined(tolvex::queryClassNames(), ", "));
                return kUnknownClass;
            }
            complain(name + ": " + failure.description());
            return kProviderFailed;
        }
        ClassAnswer answer{name, {}};
        try {
            auto walk = set->enumerate();
            while (auto object = walk->next()) {
                answer.instances.push_back(std::move(object));
            }
        } catch (const tolvex::Failure& failure) {
            complain(name + ": " + failure.description());
            return kProviderFailed;
        }
        answers.push_back(std::move(answer));
    }
    return kSuccess;
}

// An option that takes a value: --root, --snapshot, --output or --format.
// Returns the exit status of a usage error, or none.
std::optional<int> takeOption(const std::string& name, const std::string& value, Options& options) {
    if (name == "--root") {
        options.root = value;
        options.rootGiven = true;
    } else if (name == "--snapshot") {
        if (value.empty()) {
            return usageError("option '--snapshot' needs a file name");
        }
        options.snapshotFile = value;
    } else if (name == "--output") {
        if (value.empty()) {
            return usageError("option '--output' needs a file name");
        }
        options.outputFile = value;
    } else if (value == "text") {
        options.format = Format::Text;
    } else if (value == "json") {
        options.format = Format::Json;
    } else if (value == "prometheus") {
        options.format = Format::Prometheus;
    } else {
        return usageError("unknown format '" + value + "' (text, json, prometheus)");
    }
    return std::nullopt;
}

// Reads the command line into options. Returns an exit status where the
// program ends here (--help, --version, a usage error), else none.
std::optional<int> parseOptions(int argc, char** argv, bool outputOpen, Options& options) {
    bool optionsEnded = false;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.classes.push_back(arg);
            continue;
        }
        // An option's value follows it or is joined to it with "=".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != arg.npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "--help" || name == "-h") {
            return writeStandardOutput(helpText(), outputOpen);
        } else if (name == "--version") {
            return writeStandardOutput(std::string(kProgram) + " " + versionText() + "\n",
                                       outputOpen);
        } else if (name == "--root" || name == "--output" || name == "--format" ||
                   name == "--snapshot") {
            if (!hasValue && k + 1 < argc) {
                value = argv[++k];
                hasValue = true;
            }
            if (!hasValue) {
                return usageError("option '" + name + "' needs a value");
            }
            if (const auto status = takeOption(name, value, options)) {
                return status;
            }
        } else if (name == "--json" && !hasValue) {
            options.format = Format::Json;
        } else if (name == "--redact" && !hasValue) {
            options.redact = true;
        } else {
            return usageError("unknown option '" + arg + "'");
        }
    }
    if (options.rootGiven && !options.snapshotFile.empty()) {
        return usageError("options '--root' and '--snapshot' exclude each other");
    }
    return std::nullopt;
}

// What the answer comes from: the service, and for a snapshot (taken now,
// or read back) its host and origin.
struct Source {
    tolvex::ServicePtr service;
    std::optional<tolvex::HostRecord> host;
    std::optional<tolvex::snapshot::Origin> origin;
};

// Opens the snapshot, or this machine or the tree at the root, and names
// the classes to read where the command line named none. Returns the exit
// status.
int openSource(Options& options, Source& source) {
    std::shared_ptr<const tolvex::snapshot::Snapshot> snapshot;
    if (!options.snapshotFile.empty()) {
        try {
            snapshot = std::make_shared<const tolvex::snapshot::Snapshot>(
                tolvex::snapshot::readFile(options.snapshotFile));
        } catch (const tolvex::snapshot::SnapshotError& error) {
            complain(error.what());
            return error.unopened() ? tolvex::kInputUnopened : tolvex::kSnapshotUnusable;
        }
    } else if (const std::string reason = tolvex::unusableRoot(options.root); !reason.empty()) {
        complain(options.root + ": " + reason);
        return tolvex::kInputUnopened;
    }
    if (options.classes.empty()) {
        // A snapshot answers the classes it holds, in its order.
        if (snapshot) {
            for (const auto& held : snapshot->classes) {
                options.classes.push_back(held.name);
            }
        } else {
            options.classes = tolvex::queryClassNames();
        }
    }
    const bool complete = options.format == Format::Json || options.redact;
    try {
        if (snapshot) {
            // Its host and origin are kept as they were taken, not renewed.
            source.service = tolvex::snapshot::makeService(snapshot);
            source.host = snapshot->host;
            source.origin = snapshot->origin;
        } else {
            source.service = tolvex::queryService(options.root);
            if (complete) {
                source.host = hostOf(options.root, *source.service);
                source.origin =
                    tolvex::snapshot::Origin{kProgram, versionText(), kPlatform, utcNow()};
            }
        }
    } catch (const tolvex::Failure& failure) {
        complain(failure.description());
        return kProviderFailed;
    }
    return kSuccess;
}

// The answers in the chosen format, redacted where asked. Returns the exit
// status.
int render(const Options& options, Source& source, std::vector<ClassAnswer>& answers,
           std::string& out) {
    try {
        if (options.redact) {
            tolvex::query::redact(answers, source.host ? &*source.host : nullptr);
        }
        switch (options.format) {
            case Format::Text:
                out = tolvex::query::formatText(answers);
                break;
            case Format::Json:
                out = tolvex::query::formatJson(answers, source.host ? &*source.host : nullptr,
                                                source.origin ? &*source.origin : nullptr);
                break;
            case Format::Prometheus:
                out = tolvex::query::formatPrometheus(answers);
                break;
        }
    } catch (const tolvex::Failure& failure) {
        complain(failure.description());
        return kProviderFailed;
    }
    return kSuccess;
}

int run(int argc, char** argv) {
    const bool outputOpen = tolvex::query::guardStandardStreams();
    Options options;
    if (const auto status = parseOptions(argc, argv, outputOpen, options)) {
        return *status;
    }
    Source source;
    if (const int status = openSource(options, source); status != kSuccess) {
        return status;
    }
    std::vector<ClassAnswer> answers;
    if (const int status = readClasses(options, source.service, answers); status != kSuccess) {
        return status;
    }
    std::string out;
    if (const int status = render(options, source, answers, out); status != kSuccess) {
        return status;
    }
    return writeAnswer(options, out, outputOpen);
}

}  // namespace

// Whatever escapes the program's own handling (memory running out, a thread
// the system refuses, a fault in a library) ends it with a message and the
// status for an internal error, never with an abort and its core dump. The
// messages are written without allocating: memory may be what ran out.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("tolvex-query: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fputs("tolvex-query: unexpected error: ", stderr);
        std::fputs(error.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) {
        std::fputs("tolvex-query: unexpected error\n", stderr);
    }
    return kProviderFailed;
}
