#include "wmi/linux/SystemSource.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "wmi/linux/ZoneOffset.h"

namespace tolvex::linuxprov {

namespace {

// The error numbers a sidecar may record for a read, by name.
std::optional<int> errorNumber(std::string_view name) {
    static constexpr std::pair<std::string_view, int> kNames[] = {
        {"EACCES", EACCES}, {"EPERM", EPERM},         {"ENOENT", ENOENT},
        {"EIO", EIO},       {"ETIMEDOUT", ETIMEDOUT}, {"hang", ETIMEDOUT},
    };
    for (const auto& [known, number] : kNames) {
        if (known == name) {
            return number;
        }
    }
    return std::nullopt;
}

}  // namespace

FileTree::FileTree(std::string root) : m_root(std::move(root)) {
    while (!m_root.empty() && m_root.back() == '/') {
        m_root.pop_back();
    }
    if (m_root.empty()) {
        return;
    }
    for (const auto& [key, value] : sidecarValues(m_root)) {
        if (key.rfind("read:", 0) == 0) {
            if (const auto number = errorNumber(value)) {
                m_recordedFailures[key.substr(5)] = *number;
            }
        }
    }
}

void FileTree::record(std::string_view path, int error) const {
    std::lock_guard lock(m_outcomes->mutex);
    const auto it = m_outcomes->byPath.find(path);
    if (it != m_outcomes->byPath.end()) {
        it->second = error;
    } else {
        m_outcomes->byPath.emplace(std::string(path), error);
    }
}

std::optional<int> FileTree::outcome(std::string_view path) const {
    std::lock_guard lock(m_outcomes->mutex);
    const auto it = m_outcomes->byPath.find(path);
    return it == m_outcomes->byPath.end() ? std::nullopt : std::optional<int>(it->second);
}

std::optional<int> FileTree::recordedFailure(std::string_view path) const {
    const auto it = m_recordedFailures.find(path);
    return it == m_recordedFailures.end() ? std::nullopt : std::optional<int>(it->second);
}

std::string FileTree::resolve(std::string_view path) const {
    std::string out = m_root;
    if (path.empty() || path.front() != '/') {
        out.push_back('/');
    }
    out.append(path);
    return out;
}

std::optional<std::string> FileTree::read(std::string_view path, std::size_t limit) const {
    if (const auto failure = recordedFailure(path)) {
        record(path, *failure);
        return std::nullopt;
    }
    const std::string full = resolve(path);
    const int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        record(path, errno);
        return std::nullopt;
    }
    // No fstat first: a directory answers the first read with EISDIR, which
    // is recorded like any other refusal, and a start reads about a hundred
    // files, so the call saved per file shows in a cold query.
    std::string content;
    char buffer[65536];
    while (content.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - content.size());
        const ssize_t got = ::read(fd, buffer, want);
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            record(path, content.empty() ? error : 0);
            // Files that refuse reading (some sysfs attributes answer EIO or
            // EACCES at read time) count as unreadable.
            return content.empty() ? std::nullopt : std::optional<std::string>(content);
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    record(path, 0);
    return content;
}

std::vector<std::string> FileTree::list(std::string_view path) const {
    std::vector<std::string> names;
    if (const auto failure = recordedFailure(path)) {
        record(path, *failure);
        return names;
    }
    const std::string full = resolve(path);
    DIR* dir = ::opendir(full.c_str());
    if (!dir) {
        record(path, errno);
        return names;
    }
    record(path, 0);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> FileTree::readLink(std::string_view path) const {
    const std::string full = resolve(path);
    char buffer[4096];
    const ssize_t n = ::readlink(full.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

bool FileTree::exists(std::string_view path) const {
    struct stat info {};
    return ::stat(resolve(path).c_str(), &info) == 0;
}

bool FileTree::isDirectory(std::string_view path) const {
    struct stat info {};
    return ::stat(resolve(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

std::optional<FileSystemSpace> directStatvfs(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileSystemSpace{info.f_frsize ? info.f_frsize : info.f_bsize, info.f_blocks,
                           info.f_bfree, info.f_bavail};
}

int offsetMinutesInCurrentZone(std::int64_t epochSeconds) {
    const std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    if (!::localtime_r(&t, &local)) {
        return 0;
    }
    return static_cast<int>(local.tm_gmtoff / 60);
}

class LiveSysCalls : public SysCalls {
  public:
    UdisksAnswer udisks() const override { return readUdisks({}, kUdisksTimeout); }

    std::optional<std::string> hostName() const override {
        char buffer[256] = {};
        if (::gethostname(buffer, sizeof buffer - 1) != 0) {
            return std::nullopt;
        }
        return std::string(buffer);
    }
    std::optional<UnameInfo> uname() const override {
        struct utsname info {};
        if (::uname(&info) != 0) {
            return std::nullopt;
        }
        return UnameInfo{info.sysname, info.release, info.version, info.machine};
    }
    std::optional<FileSystemSpace> statvfs(const std::string& mountPoint) const override {
        return directStatvfs(mountPoint);
    }
    std::vector<std::optional<FileSystemSpace>> boundedStatvfs(
        const std::vector<std::string>& mountPoints,
        std::chrono::milliseconds timeout) const override {
        // Calls that return mark their mount point, so that one without an
        // answer is known to have failed or to have hung.
        struct Returned {
            std::mutex mutex;
            std::set<std::string> points;
        };
        auto returned = std::make_shared<Returned>();
        auto answers = spacesWithin(mountPoints, timeout, [returned](const std::string& point) {
            auto space = directStatvfs(point);
            std::lock_guard lock(returned->mutex);
            returned->points.insert(point);
            return space;
        });
        std::scoped_lock lock(returned->mutex, m_mutex);
        for (std::size_t i = 0; i < mountPoints.size(); ++i) {
            if (!answers[i] && !returned->points.count(mountPoints[i])) {
                m_hung.insert(mountPoints[i]);
            } else {
                m_hung.erase(mountPoints[i]);
            }
        }
        return answers;
    }
    int utcOffsetMinutes(std::int64_t epochSeconds) const override {
        return offsetMinutesInCurrentZone(epochSeconds);
    }
    bool hung(const std::string& mountPoint) const override {
        std::lock_guard lock(m_mutex);
        return m_hung.count(mountPoint) != 0;
    }

  private:
    mutable std::mutex m_mutex;
    mutable std::set<std::string> m_hung;
};

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

class SidecarSysCalls : public SysCalls {
  public:
    explicit SidecarSysCalls(const std::string& root) : m_values(sidecarValues(root)) {}

    std::optional<std::string> hostName() const override { return value("hostname"); }

    std::optional<UnameInfo> uname() const override {
        const auto sysname = value("sysname");
        if (!sysname) {
            return std::nullopt;
        }
        return UnameInfo{*sysname, value("release").value_or(""), value("version").value_or(""),
                         value("machine").value_or("")};
    }

    std::optional<FileSystemSpace> statvfs(const std::string& mountPoint) const override {
        return space(mountPoint);
    }

    std::vector<std::optional<FileSystemSpace>> boundedStatvfs(
        const std::vector<std::string>& mountPoints, std::chrono::milliseconds) const override {
        // The sidecar answers from memory: nothing here can block, and a
        // mount recorded as hanging simply has no answer.
        std::vector<std::optional<FileSystemSpace>> out;
        out.reserve(mountPoints.size());
        for (const auto& mountPoint : mountPoints) {
            out.push_back(space(mountPoint));
        }
        return out;
    }

    bool hung(const std::string& mountPoint) const override {
        return value("statvfs:" + mountPoint) == "hang";
    }

    UdisksAnswer udisks() const override {
        if (const auto address = value("system_bus")) {
            return readUdisks(*address, kUdisksTimeout);
        }
        return SysCalls::udisks();
    }

    int utcOffsetMinutes(std::int64_t epochSeconds) const override {
        if (const auto minutes = value("utc_offset_minutes")) {
            return std::atoi(minutes->c_str());
        }
        if (const auto zone = value("timezone")) {
            // From the system's zone database; the process's own zone is
            // left alone.
            return zone::namedZoneOffsetMinutes(*zone, epochSeconds).value_or(0);
        }
        return 0;
    }

  private:
    // The space the sidecar gives a mount; no value for a mount it lacks,
    // one said to hang, or a line that is not four numbers.
    std::optional<FileSystemSpace> space(const std::string& mountPoint) const {
        const auto entry = value("statvfs:" + mountPoint);
        if (!entry || *entry == "hang") {
            return std::nullopt;
        }
        FileSystemSpace space;
        char* end = nullptr;
        const char* p = entry->c_str();
        std::uint64_t* fields[] = {&space.blockSize, &space.totalBlocks, &space.freeBlocks,
                                   &space.availableBlocks};
        for (auto* field : fields) {
            *field = std::strtoull(p, &end, 10);
            if (end == p) {
                return std::nullopt;
            }
            p = end;
        }
        return space;
    }

    std::optional<std::string> value(const std::string& key) const {
        const auto it = m_values.find(key);
        if (it == m_values.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    std::map<std::string, std::string> m_values;
};

}  // namespace

std::map<std::string, std::string> sidecarValues(const std::string& root) {
    std::map<std::string, std::string> values;
    std::string content;
    {
        // Read directly: a tree's own reads are not the machine's.
        const std::string path = root + "/tolvex-syscalls.ini";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return values;
        }
        char buffer[65536];
        ssize_t got = 0;
        while (content.size() < (1u << 20) && (got = ::read(fd, buffer, sizeof buffer)) > 0) {
            content.append(buffer, static_cast<std::size_t>(got));
        }
        ::close(fd);
    }
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        const std::string line = trim(content.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        // statvfs and read keys hold a path that may itself contain '='; the
        // value follows the last " = ".
        auto equals = line.rfind(" = ");
        std::size_t skip = 3;
        if (equals == std::string::npos) {
            equals = line.find('=');
            skip = 1;
        }
        if (equals == std::string::npos) {
            continue;
        }
        values[trim(line.substr(0, equals))] = trim(line.substr(equals + skip));
    }
    return values;
}

// statvfs can block for as long as a dead network server keeps it waiting.
// A thread that has not answered by the deadline is left to finish on its
// own: it holds its own copy of the call and the shared results, and the
// caller goes on without its answer.
std::vector<std::optional<FileSystemSpace>> spacesWithin(
    const std::vector<std::string>& mountPoints, std::chrono::milliseconds limit,
    const SpaceCall& call) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::size_t pending = 0;
        std::vector<std::optional<FileSystemSpace>> results;
        std::vector<bool> finished;
    };
    auto shared = std::make_shared<Shared>();
    shared->results.resize(mountPoints.size());
    shared->finished.resize(mountPoints.size(), false);
    shared->pending = mountPoints.size();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (std::size_t i = 0; i < mountPoints.size(); ++i) {
        try {
            std::thread([shared, i, call, path = mountPoints[i]] {
                const auto result = call(path);
                std::lock_guard lock(shared->mutex);
                shared->results[i] = result;
                shared->finished[i] = true;
                --shared->pending;
                shared->done.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: this mount's space stays unknown.
            std::lock_guard lock(shared->mutex);
            --shared->pending;
        }
    }
    std::unique_lock lock(shared->mutex);
    shared->done.wait_until(lock, deadline, [&] { return shared->pending == 0; });
    std::vector<std::optional<FileSystemSpace>> out(mountPoints.size());
    for (std::size_t i = 0; i < mountPoints.size(); ++i) {
        if (shared->finished[i]) {
            out[i] = shared->results[i];
        }
    }
    return out;
}

UdisksAnswer SysCalls::udisks() const {
    UdisksAnswer answer;
    answer.failure = NullReason::Kind::NotProvided;
    answer.source = "udisks (no system bus)";
    return answer;
}

std::shared_ptr<const SysCalls> liveSysCalls() {
    static const auto live = std::make_shared<const LiveSysCalls>();
    return live;
}

std::shared_ptr<const SysCalls> sidecarSysCalls(const std::string& root) {
    return std::make_shared<const SidecarSysCalls>(root);
}

}  // namespace tolvex::linuxprov
