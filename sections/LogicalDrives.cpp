#include <optional>

#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"
#include "wmi/modWMI.h"

namespace tolvex {

using namespace wmi;

namespace {

constexpr const char* kDriveList = "lvDrives";

// One drive's row: the name, then capacity, free space and the free
// percentage, each a step of its own. A row that cannot be added takes no
// path either, so row n + 1 and path entry n keep belonging to one drive.
void listDrive(SectionContext& context, SelectorSection& section, const ManagementObject& drive) {
    const std::string path = drive.path();
    if (path.empty()) {
        return;
    }
    Screen& screen = context.screen;
    const int row =
        screen.addRow(kDriveList, strictText(drive.property(prop::Name), context.format));

    std::optional<double> size;
    std::optional<double> freeSpace;
    skipOnFailure([&] {
        size = quotient(drive.property(prop::Size), 1e6);
        if (size) {
            screen.setRowText(kDriveList, row, 2, formatMask(size, "0.00", context.format));
        }
    });
    skipOnFailure([&] {
        freeSpace = quotient(drive.property(prop::FreeSpace), 1e6);
        if (freeSpace) {
            screen.setRowText(kDriveList, row, 3, formatMask(freeSpace, "0.00", context.format));
        }
    });
    skipOnFailure([&] {
        // A size of 0 cannot be divided by: the percentage stays empty.
        if (size && freeSpace && *size != 0) {
            screen.setRowText(kDriveList, row, 4,
                              formatMask(*freeSpace / *size * 100, "0.0", context.format));
        }
    });

    storePath(section, path);
}

}  // namespace

void DetectDRVs(SectionContext& context) {
    SelectorSection& section = context.state.drv;
    section.InstancePathList.assign(1, std::string());
    skipOnFailure([&] {
        section.InstanceSet = enumerateClass(context.state, cls::LogicalDisk);
        auto walk = section.InstanceSet->enumerate();
        while (ObjectPtr drive = walk->next()) {
            skipOnFailure([&] { listDrive(context, section, *drive); });
        }
    });
}

void lvDrives_Click(SectionContext& context) {
    ObjectPtr instance;
    skipOnFailure([&] {
        instance = fetchInstance(context.state.drv, context.screen.selectedRow(kDriveList) - 1);
    });
    FieldSteps steps(context, instance);
    steps.strict("lblDRVVolName", prop::VolumeName);
    steps.strict("lblDRVSerial", prop::VolumeSerialNumber);
    steps.code("lblDRVType", prop::DriveType, modWMI::DriveTypeText);
    steps.strict("lblDRVFileSys", prop::FileSystem);
    steps.strict("lblDRVComp", prop::Compressed);
}

}  // namespace tolvex
