#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/DiskFacts.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/Mounts.h"
#include "wmi/linux/Sources.h"
#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

namespace prop = wmi::prop;

// How long the file systems that may hang (network, FUSE) may take, all
// together, to report their space. A dead server makes statvfs wait for
// minutes; a mount that has not answered by then shows Null sizes.
constexpr std::chrono::milliseconds kStatvfsBound{1500};

bool hasOption(const std::string& options, const std::string& name) {
    std::size_t start = 0;
    while (start <= options.size()) {
        auto end = options.find(',', start);
        if (end == std::string::npos) {
            end = options.size();
        }
        const std::string option = options.substr(start, end - start);
        if (option == name || option.rfind(name + "=", 0) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

std::vector<ObjectPtr> enumerateLogicalDisks(const ProviderContext& context) {
    const auto drives = selectDrives(context.files, readMountTable(context.files));

    // Local and RAM file systems answer at once. Those that may hang are
    // asked together under one bound, so a dead server cannot hold the
    // start up and several dead mounts cost one wait.
    std::vector<std::optional<FileSystemSpace>> spaces(drives.size());
    std::vector<std::size_t> slow;
    std::vector<std::string> slowPoints;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (spaceMayHang(drives[i].mount.fsType)) {
            slow.push_back(i);
            slowPoints.push_back(drives[i].mount.target);
        } else {
            spaces[i] = context.sys.statvfs(drives[i].mount.target);
        }
    }
    if (!slow.empty()) {
        const auto answers = context.sys.boundedStatvfs(slowPoints, kStatvfsBound);
        for (std::size_t k = 0; k < slow.size() && k < answers.size(); ++k) {
            spaces[slow[k]] = answers[k];
        }
    }

    std::vector<ObjectPtr> out;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const DriveMount& drive = drives[i];
        const auto& space = spaces[i];
        VolumeIdentity identity;
        if (drive.blockDevice) {
            identity = volumeIdentity(context.files, *drive.blockDevice);
        }
        // A FUSE block file system (ntfs-3g) names its real type only in the
        // device's identity.
        const std::string type =
            drive.mount.fsType == "fuseblk" && identity.type ? *identity.type : drive.mount.fsType;
        std::optional<std::uint64_t> size;
        std::optional<std::uint64_t> free;
        if (space) {
            size = space->totalBlocks * space->blockSize;
            free = space->availableBlocks * space->blockSize;
        }
        const std::string& mountPoint = drive.mount.target;
        const std::string call = "statvfs " + mountPoint;
        const Source spaceSource = space ? answeredSource(call)
                                   : context.sys.hung(mountPoint)
                                       ? timedOutSource(call)
                                       : Source{NullReason::Kind::Unreadable, call, {}};
        // A volume's name and serial number belong to its block device.
        const Source volume =
            answeredSource(drive.blockDevice ? "/dev/" + *drive.blockDevice : mountPoint);
        std::vector<Described> properties = {
            {prop::DeviceID, ManagementValue::text(mountPoint)},
            {prop::Name, ManagementValue::text(mountPoint)},
            {prop::Size, text::countOrNull(size), spaceSource},
            {prop::FreeSpace, text::countOrNull(free), spaceSource},
            {prop::VolumeName, text::textOrNull(identity.label), volume},
            {prop::VolumeSerialNumber,
             text::textOrNull(identity.uuid ? volumeSerial(*identity.uuid) : std::nullopt), volume},
            {prop::DriveType, ManagementValue::integer(static_cast<std::int64_t>(drive.kind))},
            {prop::FileSystem,
             type.empty() ? ManagementValue::null()
                          : ManagementValue::text(fileSystemName(type, identity.version)),
             answeredSource(drive.mount.source.empty() ? mountPoint : drive.mount.source)},
            {prop::Compressed,
             ManagementValue::boolean(hasOption(drive.mount.options, "compress") ||
                                      hasOption(drive.mount.options, "compress-force"))},
        };
        out.push_back(describedObject(
            wmi::cls::LogicalDisk,
            instancePath(context, wmi::cls::LogicalDisk, prop::DeviceID, mountPoint),
            std::move(properties)));
    }
    return out;
}

}  // namespace tolvex::linuxprov
