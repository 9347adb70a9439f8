// Benchmarks of the Linux provider and of the start-up sequence over it.
//
//   tolvex-provider-bench [--tree NAME=DIR]... [benchmark flags]
//
// Every benchmark runs on this machine ("live"); each --tree adds the same
// benchmarks on a captured machine tree (see bench/make-large-tree). Each
// benchmark reports the instances it enumerated per iteration in the counter
// "instances", so the summary can compare the cost per instance.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "net/Sockets.h"
#include "net/modGetIPInfo.h"
#include "sections/Detectors.h"
#include "sections/MainState.h"
#include "sections/StartupSequence.h"
#include "tests/support/RecordingScreen.h"
#include "wmi/Management.h"
#include "wmi/linux/LinuxService.h"

namespace {

using tolvex::ManagementValue;
using tolvex::ObjectPtr;
using tolvex::ServicePtr;
using tolvex::linuxprov::LinuxService;

struct Machine {
    std::string name;  // "live" or the name given with --tree
    std::string root;  // "/" or the tree's directory
};

// Enumerates a class and walks it, reading every property of every instance
// as the query tool does. Returns the number of instances.
std::int64_t enumerateAndWalk(tolvex::ManagementService& service, const std::string& className) {
    const auto set = service.instancesOf(className, tolvex::kReturnImmediately);
    std::int64_t instances = 0;
    auto walk = set->enumerate();
    while (const ObjectPtr object = walk->next()) {
        ++instances;
        std::string path = object->path();
        benchmark::DoNotOptimize(path);
        for (const auto& name : object->propertyNames()) {
            ManagementValue value = object->property(name);
            benchmark::DoNotOptimize(value);
        }
    }
    return instances;
}

void enumerateOneClass(benchmark::State& state, const Machine& machine,
                       const std::string& className) {
    const ServicePtr service = tolvex::linuxprov::makeLinuxService(machine.root);
    std::int64_t instances = 0;
    for (auto _ : state) {
        instances = enumerateAndWalk(*service, className);
    }
    state.counters["instances"] = static_cast<double>(instances);
}

void enumerateAllClasses(benchmark::State& state, const Machine& machine) {
    const ServicePtr service = tolvex::linuxprov::makeLinuxService(machine.root);
    std::int64_t instances = 0;
    for (auto _ : state) {
        instances = 0;
        for (const auto& className : LinuxService::classNames()) {
            instances += enumerateAndWalk(*service, className);
        }
    }
    state.counters["instances"] = static_cast<double>(instances);
}

// The host's address list for the IP step: the real resolver on this
// machine. A captured tree has no resolver of its own, so its runs list this
// machine's addresses too; the step costs the same either way.
void detectAddresses(tolvex::Screen& screen) {
    tolvex::modGetIPInfo::DetectIPAddresses(tolvex::platformSockets(), screen);
}

// The whole start-up sequence as the main window runs it: a fresh screen and
// state each time, the selector handlers connected, all nine steps.
void startupSequence(benchmark::State& state, const Machine& machine) {
    const ServicePtr service = tolvex::linuxprov::makeLinuxService(machine.root);
    const tolvex::NumberFormat format = tolvex::NumberFormat::point();
    tolvex::Sockets& sockets = tolvex::platformSockets();
    tolvex::WsaData data;
    sockets.WSAStartup(0x0101, data);
    std::size_t boxes = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        tolvex::testing::RecordingScreen screen;
        tolvex::MainState mainState;
        mainState.ManagementService = service;
        tolvex::SectionContext context{screen, mainState, format};
        tolvex::connectSelectorHandlers(context);
        tolvex::runDetectionSteps(context, [&] { detectAddresses(screen); });
        boxes = screen.boxes.size();
        rows = 0;
        for (const auto& [name, list] : screen.rows) {
            rows += list.size();
        }
        benchmark::DoNotOptimize(screen.texts);
    }
    sockets.WSACleanup();
    state.counters["message_boxes"] = static_cast<double>(boxes);
    state.counters["drive_rows"] = static_cast<double>(rows);
}

void registerMachine(const Machine& machine) {
    for (const auto& className : LinuxService::classNames()) {
        benchmark::RegisterBenchmark(("Enumerate/" + machine.name + "/" + className).c_str(),
                                     [machine, className](benchmark::State& state) {
                                         enumerateOneClass(state, machine, className);
                                     })
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark(
        ("AllNineClasses/" + machine.name).c_str(),
        [machine](benchmark::State& state) { enumerateAllClasses(state, machine); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(
        ("StartupSequence/" + machine.name).c_str(),
        [machine](benchmark::State& state) { startupSequence(state, machine); })
        ->Unit(benchmark::kMicrosecond);
}

// Takes the --tree NAME=DIR arguments out of argv, leaving the rest to the
// benchmark library.
std::vector<Machine> takeTrees(int& argc, char** argv) {
    std::vector<Machine> trees;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string value;
        if (argument == "--tree" && i + 1 < argc) {
            value = argv[++i];
        } else if (argument.rfind("--tree=", 0) == 0) {
            value = argument.substr(7);
        } else {
            argv[kept++] = argv[i];
            continue;
        }
        const auto equals = value.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == value.size()) {
            throw std::invalid_argument("--tree wants NAME=DIR, not \"" + value + "\"");
        }
        trees.push_back({value.substr(0, equals), value.substr(equals + 1)});
    }
    argc = kept;
    argv[argc] = nullptr;
    return trees;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Machine> machines = {{"live", "/"}};
    try {
        for (auto& tree : takeTrees(argc, argv)) {
            machines.push_back(std::move(tree));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tolvex-provider-bench: %s\n", error.what());
        return 64;
    }
    for (const auto& machine : machines) {
        registerMachine(machine);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 64;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
