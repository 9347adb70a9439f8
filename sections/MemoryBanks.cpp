#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"
#include "wmi/modWMI.h"

namespace tolvex {

using namespace wmi;

void DetectMEM(SectionContext& context) {
    // No count line and no failure text: the memory section never reports.
    detectSelectorSection(context, context.state.mem,
                          {.className = cls::PhysicalMemory,
                           .selector = "cboMem",
                           .itemProperty = prop::Tag,
                           .countLabel = {},
                           .countText = {},
                           .failureText = {}});
}

void cboMem_Click(SectionContext& context) {
    ObjectPtr instance;
    skipOnFailure([&] { instance = fetchSelected(context, context.state.mem, "cboMem"); });
    FieldSteps steps(context, instance);
    steps.strict("lblMEMLabel", prop::Label);
    steps.strict("lblMEMManufac", prop::Manufacturer);
    steps.strict("lblMEMPart", prop::PartNumber);
    steps.strict("lblMEMModel", prop::Model);
    steps.strict("lblMEMSerial", prop::SerialNumber);
    steps.strict("lblMEMLoc", prop::DeviceLocator);
    steps.code("lblMEMFactor", prop::FormFactor, modWMI::MemoryFormFactorText);
    steps.code("lblMEMType", prop::MemoryType, modWMI::MemoryTypeText);
    steps.code("lblMEMDetail", prop::TypeDetail, modWMI::MemoryTypeDetailText);
    steps.strict("lblMEMVer", prop::Version);
    steps.quotientMask("lblMEMCapacity", prop::Capacity, 1000, "##,##", " KB");
    steps.strict("lblMEMData", prop::DataWidth);
    steps.strict("lblMEMWidth", prop::TotalWidth);
    steps.suffix("lblMEMSpeed", prop::Speed, " ns");
}

}  // namespace tolvex
