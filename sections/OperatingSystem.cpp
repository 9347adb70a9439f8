#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"

namespace tolvex {

using namespace wmi;

void DetectOS(SectionContext& context) {
    forEachInstance(context, cls::OperatingSystem, [&context](FieldSteps& steps) {
        steps.strict("lblOSName", prop::Caption);
        steps.strict("lblOSManufac", prop::Manufacturer);
        steps.strict("lblOSSerial", prop::SerialNumber);
        steps.strict("lblOSVer", prop::Version);
        steps.strict("lblOSBuild", prop::BuildNumber);
        steps.strict("lblOSBuildType", prop::BuildType);
        steps.strict("lblOSSP", prop::CSDVersion);
        // Major, a point, minor; an absent part adds nothing.
        skipOnFailure([&] {
            const auto part = [&](const char* name) {
                const ManagementValue value = steps.read(name);
                return value.isNull() ? std::string() : strictText(value, context.format);
            };
            context.screen.setText("lblOSSPVer", part(prop::ServicePackMajorVersion) + "." +
                                                     part(prop::ServicePackMinorVersion));
        });
        steps.strict("lblOSBoot", prop::BootDevice);
        steps.strict("lblOSWinDir", prop::WindowsDirectory);
        steps.strict("lblOSSysDir", prop::SystemDirectory);
        steps.strict("lblOSSysName", prop::CSName);
        steps.strict("lblOSLastBoot", prop::LastBootUpTime);
        steps.strict("lblOSLinUsers", prop::NumberOfLicensedUsers);
        steps.strict("lblOSUsers", prop::NumberOfUsers);
        steps.quotientMask("lblMEMTotPhys", prop::TotalVisibleMemorySize, 1, "###,###", " KB");
        steps.quotientMask("lblMEMAvailPhys", prop::FreePhysicalMemory, 1, "###,###", " KB");
        steps.quotientMask("lblMEMTotVirt", prop::TotalVirtualMemorySize, 1, "###,###", " KB");
        steps.quotientMask("lblMEMAvailVirt", prop::FreeVirtualMemory, 1, "###,###", " KB");
        steps.quotientMask("lblMEMTotSwap", prop::SizeStoredInPagingFiles, 1, "###,###", " KB");
        steps.quotientMask("lblMEMAvailSwap", prop::FreeSpaceInPagingFiles, 1, "###,###", " KB");
    });
}

}  // namespace tolvex
