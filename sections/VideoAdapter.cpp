#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"
#include "wmi/modWMI.h"

namespace tolvex {

using namespace wmi;

void DetectVideoAdapter(SectionContext& context) {
    forEachInstance(context, cls::VideoController, [](FieldSteps& steps) {
        steps.strict("lblVIDName", prop::Name);
        steps.strict("lblVIDProc", prop::VideoProcessor);
        steps.code("lblVIDArch", prop::VideoArchitecture, modWMI::VideoArchitectureText);
        steps.strict("lblVIDProtocol", prop::ProtocolSupported);
        steps.code("lblVIDMemType", prop::VideoMemoryType, modWMI::VideoMemoryTypeText);
        steps.strict("lblVIDDAC", prop::AdapterDACType);
        steps.quotientMask("lblVIDMem", prop::AdapterRAM, 1000, "##,##", " KB");
        steps.strict("lblVIDDrv", prop::InstalledDisplayDrivers);
        steps.strict("lblVIDDrvDate", prop::DriverDate);
        steps.strict("lblVIDDrvVer", prop::DriverVersion);
        steps.strict("lblVIDMode", prop::VideoModeDescription);
        steps.suffix("lblVIDRefresh", prop::CurrentRefreshRate, " Hz");
        steps.suffix("lblVIDMaxRefresh", prop::MaxRefreshRate, " Hz");
    });
}

}  // namespace tolvex
