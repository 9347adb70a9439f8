// Snapshots: the window over a snapshot shows what it showed over the machine
// the snapshot was taken of, and the reader refuses what is not a snapshot
// with words, never by crashing or hanging.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "net/HostAnswer.h"
#include "tests/provider/ProviderFixtures.h"
#include "tests/support/RecordingBrowser.h"
#include "tests/support/RecordingProgramEnd.h"
#include "tests/support/RecordingWindowSystem.h"
#include "tests/support/ScriptedSockets.h"
#include "tools/QueryFormats.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/snapshot/Snapshot.h"

namespace tolvex {
namespace {

using testing::RecordingScreen;

// Everything a recording screen holds, one line each, in a stable order.
std::string picture(const RecordingScreen& screen) {
    std::ostringstream out;
    for (const auto& [name, text] : screen.texts) {
        out << name << " = " << text << "\n";
    }
    for (const auto& [name, items] : screen.items) {
        for (const auto& item : items) {
            out << name << " item " << item << "\n";
        }
    }
    for (const auto& [name, index] : screen.selection) {
        out << name << " selected " << index << "\n";
    }
    for (const auto& [name, lines] : screen.lists) {
        for (const auto& line : lines) {
            out << name << " line " << line << "\n";
        }
    }
    for (const auto& [name, rows] : screen.rows) {
        for (const auto& row : rows) {
            out << name << " row";
            for (const auto& column : row.columns) {
                out << " | " << column;
            }
            out << "\n";
        }
    }
    for (const auto& box : screen.boxes) {
        out << "box " << box.title << " / " << box.text << " / " << box.style << "\n";
    }
    return out.str();
}

// The window over a service and sockets: start-up, then every item of every
// selector and every row of the drive list chosen in turn, each screen
// recorded.
std::string walkWindow(const ServicePtr& service, Sockets& sockets) {
    testing::RecordingWindowSystem windows;
    windows.recording.visible["frSections(0)"] = true;
    testing::RecordingProgramEnd end;
    testing::RecordingBrowser browser;
    frmMain form({[&](std::string_view) { return service; }, windows, sockets, end, browser,
                  NumberFormat::point()});
    form.Form_Load();
    form.show();
    windows.activate();
    RecordingScreen& screen = windows.recording;
    std::string out = picture(screen);
    for (const char* selector : {"cboCPUs", "cboMem", "cboNIC", "cboSCSI"}) {
        for (int k = 0; k < screen.itemCount(selector); ++k) {
            screen.setSelectedIndex(selector, k);
            out += std::string("-- ") + selector + " " + std::to_string(k) + "\n" + picture(screen);
        }
    }
    const auto drives = screen.rows.find("lvDrives");
    const int rowCount = drives == screen.rows.end() ? 0 : static_cast<int>(drives->second.size());
    for (int row = 1; row <= rowCount; ++row) {
        screen.clickRow("lvDrives", row);
        out += "-- lvDrives " + std::to_string(row) + "\n" + picture(screen);
    }
    form.CloseMainWindow();
    return out;
}

// The snapshot tolvex-query --format json takes of a service and a host.
std::string takeSnapshot(ManagementService& service, const HostRecord& host) {
    std::vector<query::ClassAnswer> answers;
    for (const auto& name : linuxprov::LinuxService::classNames()) {
        answers.push_back({name, testing::instances(service, name.c_str())});
    }
    const snapshot::Origin origin{"tolvex-query", "1.0.6", "Linux", "2026-12-07T14:00:00Z"};
    return query::formatJson(answers, &host, &origin);
}

std::vector<std::filesystem::path> capturedMachines() {
    std::vector<std::filesystem::path> trees;
    const auto extracted = testing::fixturesDir() / "extracted";
    if (std::filesystem::is_directory(extracted)) {
        for (const auto& group : std::filesystem::directory_iterator(extracted)) {
            for (const auto& tree : std::filesystem::directory_iterator(group.path())) {
                trees.push_back(tree.path());
            }
        }
    }
    std::sort(trees.begin(), trees.end());
    return trees;
}

TEST(SnapshotWindow, EveryCapturedMachineLooksTheSameOverItsSnapshot) {
    TOLVEX_REQUIRE_FIXTURES();
    const auto trees = capturedMachines();
    ASSERT_GE(trees.size(), 10u);
    for (const auto& tree : trees) {
        SCOPED_TRACE(tree.string());
        const ServicePtr live = linuxprov::makeLinuxService(tree.string());
        testing::ScriptedSockets liveSockets;
        liveSockets.hostName = "captured-host";
        liveSockets.hostEntry =
            testing::ScriptedSockets::addresses({{10, 1, 2, 3}, {192, 168, 7, 9}});
        const std::string shownLive = walkWindow(live, liveSockets);
        ASSERT_NE(shownLive.find("lstIPAddr line 192.168.7.9"), std::string::npos) << shownLive;

        testing::ScriptedSockets askedSockets = liveSockets;
        const std::string file = takeSnapshot(*live, askHost(askedSockets));
        const auto read = std::make_shared<const snapshot::Snapshot>(snapshot::parse(file));
        AnsweringSockets snapshotSockets(snapshot::hostOf(*read));
        EXPECT_EQ(walkWindow(connectSnapshot(read, "WinMgmts:"), snapshotSockets), shownLive);

        // Read back and written again, it is the same file byte for byte.
        std::vector<query::ClassAnswer> again;
        for (const auto& held : read->classes) {
            again.push_back({held.name, {held.instances.begin(), held.instances.end()}});
        }
        EXPECT_EQ(query::formatJson(again, &*read->host, &*read->origin), file);
    }
}

TEST(SnapshotWindow, HostFailuresComeBackAsTheSameMessages) {
    // A host name that could not be read, and a resolver's null answer.
    for (const bool nameFails : {true, false}) {
        testing::ScriptedSockets sockets;
        sockets.hostNameResult = nameFails ? -1 : 0;
        sockets.lastError = 10093;
        sockets.hostEntry = std::nullopt;
        const HostRecord host = askHost(sockets);
        snapshot::Snapshot holder;
        holder.classes.push_back({"Win32_Processor", {}});
        std::vector<query::ClassAnswer> none;
        none.push_back({"Win32_Processor", {}});
        const auto read = snapshot::parse(query::formatJson(none, &host));
        ASSERT_TRUE(read.host.has_value());
        EXPECT_EQ(*read.host, host);
        const auto service =
            snapshot::makeService(std::make_shared<const snapshot::Snapshot>(read));
        AnsweringSockets answering(snapshot::hostOf(read));
        testing::ScriptedSockets again = sockets;
        const std::string live = walkWindow(service, again);
        EXPECT_EQ(walkWindow(service, answering), live);
        EXPECT_NE(live.find(nameFails ? "Windows Sockets error  10093"
                                      : "Winsock.dll is not responding."),
                  std::string::npos);
    }
}

TEST(SnapshotValues, NullReasonsBesideThePropertiesAreKept) {
    const auto read = snapshot::parse(
        "{\"Win32_BaseBoard\": [{\"path\": \"p\", \"properties\": {\"Product\": \"x\", "
        "\"SerialNumber\": null}, \"reasons\": {\"SerialNumber\": {\"reason\": \"needs "
        "administrator rights\", \"source\": \"/sys/class/dmi/id/board_serial\", \"remedy\": "
        "\"Run as root\"}}}]}");
    const auto& board = *read.classes[0].instances[0];
    EXPECT_EQ(board.nullReason("SerialNumber"),
              (NullReason{NullReason::Kind::NeedsAdministrator, "/sys/class/dmi/id/board_serial",
                          "Run as root"}));
    EXPECT_FALSE(board.nullReason("Product").given());
    // A reason beside a value (a hand-edited file) is dropped as it is read,
    // and the value is shown without it.
    const auto edited = snapshot::parse(
        "{\"Win32_BaseBoard\": [{\"path\": \"p\", \"properties\": {\"Product\": \"x\", "
        "\"Tag\": null}, \"reasons\": {\"Product\": {\"reason\": \"unreadable\", \"source\": "
        "\"/x\"}, \"Tag\": {\"reason\": \"unreadable\", \"source\": \"/y\"}}}]}");
    EXPECT_EQ(edited.classes[0].instances[0]->reasons(),
              (std::vector<NullReason>{{}, {NullReason::Kind::Unreadable, "/y", ""}}));
    EXPECT_EQ(query::formatText({{"Win32_BaseBoard", {edited.classes[0].instances[0]}}}),
              "p\n  Product = x\n  Tag = Null (unreadable: /y)\n\n");
    EXPECT_FALSE(StaticObject("W", "p", {{"A", ManagementValue::text("x")}},
                              {{NullReason::Kind::Unreadable, "/x", ""}})
                     .nullReason("A")
                     .given());
    for (const char* wrong :
         {"{\"W\": [{\"path\": \"p\", \"properties\": {}, \"reasons\": {\"A\": {\"reason\": "
          "\"unreadable\"}}}]}",
          "{\"W\": [{\"path\": \"p\", \"properties\": {\"A\": null}, \"reasons\": {\"A\": "
          "{\"reason\": \"gremlins\"}}}]}"}) {
        EXPECT_THROW(snapshot::parse(wrong), snapshot::SnapshotError) << wrong;
    }
}

TEST(SnapshotValues, EveryKindReadsBackAsItWasGiven) {
    const std::vector<StaticObject::Property> properties = {
        {"Null", ManagementValue::null()},
        {"Integer", ManagementValue::integer(-2147483648LL)},
        {"Unsigned", ManagementValue::integer(4294967295LL)},
        {"Count64", ManagementValue::text("18446744073709551615")},
        {"Real", ManagementValue::real(3.0)},
        {"Fraction", ManagementValue::real(0.1)},
        {"True", ManagementValue::boolean(true)},
        {"False", ManagementValue::boolean(false)},
        {"DateTime", ManagementValue::text("20261207135612.000000+000")},
        {"Text", ManagementValue::text(std::string("quote \" back \\ nul \0 tab\t", 25))},
    };
    std::vector<query::ClassAnswer> answers;
    answers.push_back(
        {"Win32_Thing",
         {std::make_shared<StaticObject>("Win32_Thing", "\\\\H\\root:Win32_Thing=1", properties)}});
    const std::string file = query::formatJson(answers);
    const auto read = snapshot::parse(file);
    ASSERT_EQ(read.classes.size(), 1u);
    ASSERT_EQ(read.classes[0].instances.size(), 1u);
    EXPECT_EQ(read.classes[0].instances[0]->properties(), properties);
    EXPECT_EQ(read.classes[0].instances[0]->path(), "\\\\H\\root:Win32_Thing=1");
}

std::string instancesOfOneClass(std::size_t count) {
    std::string out = "{\"Win32_LogicalDisk\": [";
    for (std::size_t k = 0; k < count; ++k) {
        out += std::string(k ? "," : "") + "{\"path\": \"p" + std::to_string(k) +
               "\", \"properties\": {\"DeviceID\": \"d" + std::to_string(k) + "\"}}";
    }
    return out + "]}";
}

// A snapshot of `count` containers, one inside the other: the object of
// classes and, under a key of a later version, lists.
std::string nestedContainers(std::size_t count) {
    return "{\"Win32_X\": [], \"later:key\": " + std::string(count - 1, '[') +
           std::string(count - 1, ']') + "}";
}

TEST(SnapshotReader, RefusesWhatIsNotASnapshotWithWords) {
    const std::string good =
        "{\"Win32_Processor\": [{\"path\": \"p\", \"properties\": {\"Name\": \"x\"}}]}";
    const struct {
        std::string input;
        const char* message;
    } cases[] = {
        {"", "not JSON"},
        {"not json", "not JSON"},
        {good.substr(0, good.size() / 2), "not JSON"},
        {"\xff\xfe{}", "not JSON"},
        {"[]", "expected a JSON object"},
        {"{}", "no class in it"},
        {"{\"Win32_Processor\": {}}", "Win32_Processor: expected a list of instances"},
        {"{\"Win32_Processor\": [5]}", "Win32_Processor[0]: expected an object"},
        {"{\"Win32_Processor\": [{\"path\": \"p\"}]}", "needs \"path\" and \"properties\""},
        {"{\"Win32_Processor\": [{\"path\": null, \"properties\": {}}]}",
         "path: expected a string"},
        {"{\"Win32_Processor\": [{\"path\": \"p\", \"properties\": []}]}",
         "properties: expected an object"},
        {"{\"Win32_Processor\": [{\"path\": \"p\", \"properties\": {\"A\": {}}}]}",
         "properties.A: expected a value the service gives"},
        {"{\"Win32_Processor\": [{\"path\": \"p\", \"properties\": {\"A\": "
         "18446744073709551615}}]}",
         "past the service's 64-bit integers"},
        {"{\"Win32_Processor\": [], \"win32_processor\": []}", "given twice"},
        {"{\"Win32 Processor\": []}", "is not a class name"},
        {"{\"Win32_X\": [], \"tolvex:host\": {\"name\": 5}}", "tolvex:host.name"},
        {"{\"Win32_X\": [], \"tolvex:host\": {\"addresses\": [\"1.2.3.256\"]}}", "dotted IPv4"},
        {"{\"Win32_X\": [], \"tolvex:origin\": {\"taken\": 1}}", "tolvex:origin.taken"},
        {"{\"ansible_facts\": {\"discovered_interpreter_python\": \"/usr/bin/python3\"}}",
         "without the tolvex facts"},
        {"{\"failed\": true, \"msg\": \"tolvex-query was not found\"}",
         "failed on this host: tolvex-query was not found"},
        {std::string(20000, '[') + std::string(20000, ']'), "nested deeper than 16 levels"},
        {nestedContainers(18), "nested deeper than 16 levels"},
        {instancesOfOneClass(snapshot::kMaxInstances + 1),
         "more than the 10000 a snapshot may hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 80));
        try {
            snapshot::parse(c.input);
            ADD_FAILURE() << "read without complaint";
        } catch (const snapshot::SnapshotError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(SnapshotReader, EveryCutOfASnapshotIsRefused) {
    std::vector<query::ClassAnswer> answers;
    answers.push_back(
        {"Win32_Processor",
         {std::make_shared<StaticObject>(
             "Win32_Processor", "p",
             std::vector<StaticObject::Property>{{"Name", ManagementValue::text("x")},
                                                 {"Speed", ManagementValue::integer(3000)}})}});
    const HostRecord host{"h", 0, std::vector<std::string>{"192.0.2.1"}};
    const std::string file = query::formatJson(answers, &host);
    for (std::size_t cut = 0; cut + 1 < file.size(); ++cut) {
        // A cut that ends only in white space leaves the whole snapshot.
        if (file.find_first_not_of(" \n", cut) == std::string::npos) {
            break;
        }
        EXPECT_THROW(snapshot::parse(file.substr(0, cut)), snapshot::SnapshotError) << cut;
    }
}

TEST(SnapshotReader, AThousandDrivesAndAnAnsibleResultAreSnapshots) {
    EXPECT_EQ(snapshot::parse(instancesOfOneClass(1000)).classes[0].instances.size(), 1000u);
    EXPECT_NO_THROW(snapshot::parse(nestedContainers(17)));
    const auto ansible = snapshot::parse(
        "{\"ansible_facts\": {\"tolvex\": {\"Win32_OperatingSystem\": [{\"path\": \"p\", "
        "\"properties\": {\"CSName\": \"web1\"}}]}}, \"changed\": false}");
    EXPECT_EQ(snapshot::hostNameOf(ansible), "web1");
    EXPECT_EQ(snapshot::hostOf(ansible).addresses, std::vector<std::string>{});
}

TEST(SnapshotCommandLine, ArgumentsAndFiles) {
    const auto file = std::filesystem::temp_directory_path() / "tolvex-snapshot-test.json";
    {
        std::ofstream out(file);
        out << "{\"Win32_OperatingSystem\": [], \"tolvex:host\": {\"name\": \"web1\", "
               "\"addresses\": []}, \"tolvex:origin\": {\"taken\": \"2026-12-01T10:00:00Z\"}}";
    }
    const auto opened = readCommandLine({"--snapshot", file.string()});
    ASSERT_TRUE(opened.snapshot) << opened.error;
    EXPECT_EQ(snapshotTitle(*opened.snapshot, "Tolvex"), "Tolvex - web1 (snapshot of 2026-12-01)");
    for (const auto& ignored : {std::vector<std::string>{}, std::vector<std::string>{"--bogus"}}) {
        const auto choice = readCommandLine(ignored);
        EXPECT_FALSE(choice.snapshot);
        EXPECT_TRUE(choice.error.empty());
    }
    const struct {
        std::vector<std::string> arguments;
        int status;
    } refused[] = {
        {{"--snapshot"}, kCommandLineUsage},
        {{"--snapshot="}, kCommandLineUsage},
        {{"--snapshot", file.string(), "--snapshot", file.string()}, kCommandLineUsage},
        {{"--snapshot", "/nonexistent/file.json"}, kInputUnopened},
        {{"--snapshot", TOLVEX_SOURCE_DIR "/README.md"}, kSnapshotUnusable},
    };
    for (const auto& c : refused) {
        const auto choice = readCommandLine(c.arguments);
        EXPECT_EQ(choice.status, c.status) << choice.error;
        EXPECT_FALSE(choice.error.empty());
        EXPECT_FALSE(choice.snapshot);
    }
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace tolvex
