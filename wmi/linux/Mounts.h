#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/SystemSource.h"

namespace tolvex::linuxprov {

// One line of the kernel's mount table, escapes (\040 and the like) undone.
struct MountEntry {
    std::string source;  // "/dev/sda1", "server:/export", "tmpfs"
    std::string target;  // the mount point
    std::string fsType;  // "ext4", "nfs4", "fuse.sshfs"
    std::string root;    // the mounted directory of the file system; "/" when unknown
    std::string options;
    unsigned major = 0;  // the device numbers, when the table gives them
    unsigned minor = 0;
    bool hasDeviceNumber = false;
};

// The mount table of the machine under the root: /proc/self/mountinfo, else
// /proc/mounts. Lines that cannot be parsed are left out.
std::vector<MountEntry> readMountTable(const FileTree& files);

}  // namespace tolvex::linuxprov
