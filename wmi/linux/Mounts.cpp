#include "wmi/linux/Mounts.h"

#include <libmount/libmount.h>
#include <sys/sysmacros.h>

#include "wmi/linux/SysText.h"

namespace tolvex::linuxprov {

namespace {

// A malformed line is skipped; the rest of the table is still read.
int skipBadLine(libmnt_table*, const char*, int) {
    return 1;
}

std::vector<MountEntry> parseTable(const std::string& path) {
    std::vector<MountEntry> out;
    libmnt_table* table = mnt_new_table();
    if (!table) {
        return out;
    }
    mnt_table_set_parser_errcb(table, skipBadLine);
    if (mnt_table_parse_file(table, path.c_str()) == 0) {
        libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs* fs = nullptr;
        while (iter && mnt_table_next_fs(table, iter, &fs) == 0) {
            const auto field = [](const char* value) {
                return value ? text::cleanText(value) : std::string();
            };
            MountEntry entry;
            entry.source = field(mnt_fs_get_source(fs));
            entry.target = field(mnt_fs_get_target(fs));
            entry.fsType = field(mnt_fs_get_fstype(fs));
            entry.root = field(mnt_fs_get_root(fs));
            if (entry.root.empty()) {
                entry.root.push_back('/');
            }
            if (char* options = mnt_fs_strdup_options(fs)) {
                entry.options = text::cleanText(options);
                free(options);
            }
            if (mnt_fs_get_id(fs) > 0) {  // a mountinfo line: device numbers present
                const dev_t devno = mnt_fs_get_devno(fs);
                entry.major = major(devno);
                entry.minor = minor(devno);
                entry.hasDeviceNumber = true;
            }
            if (!entry.target.empty()) {
                out.push_back(std::move(entry));
            }
        }
        mnt_free_iter(iter);
    }
    mnt_unref_table(table);
    return out;
}

}  // namespace

std::vector<MountEntry> readMountTable(const FileTree& files) {
    for (const char* path : {"/proc/self/mountinfo", "/proc/mounts"}) {
        // libmount reads by file name; the file must exist under the root.
        if (files.read(path, 1)) {
            return parseTable(files.resolve(path));
        }
    }
    return {};
}

}  // namespace tolvex::linuxprov
