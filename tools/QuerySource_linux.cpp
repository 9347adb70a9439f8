#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/QuerySource.h"
#include "wmi/linux/LinuxService.h"

namespace tolvex {

std::string unusableRoot(const std::string& root) {
    struct stat status {};
    if (::stat(root.c_str(), &status) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISDIR(status.st_mode)) {
        return std::strerror(ENOTDIR);
    }
    // Listing it and passing through it are both needed to read the tree.
    DIR* dir = ::opendir(root.c_str());
    if (dir == nullptr) {
        return std::strerror(errno);
    }
    ::closedir(dir);
    if (::access(root.c_str(), X_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
}

ServicePtr queryService(const std::string& root) {
    return linuxprov::makeLinuxService(root);
}

std::vector<std::string> queryClassNames() {
    return linuxprov::LinuxService::classNames();
}

}  // namespace tolvex
