#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"
#include "wmi/modWMI.h"

namespace tolvex {

using namespace wmi;

void DetectSystemCPUs(SectionContext& context) {
    detectSelectorSection(context, context.state.cpu,
                          {.className = cls::Processor,
                           .selector = "cboCPUs",
                           .itemProperty = prop::Name,
                           .countLabel = "lblCPUCount",
                           .countText = " processor(s) detected.",
                           .failureText = "Unable to detect CPU(s)."});
}

void cboCPUs_Click(SectionContext& context) {
    ObjectPtr instance;
    skipOnFailure([&] { instance = fetchSelected(context, context.state.cpu, "cboCPUs"); });
    FieldSteps steps(context, instance);
    steps.code("lblType", prop::processorType, modWMI::ProcessorTypeText);
    steps.strict("lblManufacturer", prop::Manufacturer);
    steps.code("lblArchitec", prop::architecture, modWMI::ProcessorArchitectureText);
    steps.code("lblFamily", prop::family, modWMI::ProcessorFamilyText);
    steps.suffix("lblABus", prop::AddressWidth, " bits");
    steps.suffix("lblBBus", prop::DataWidth, " bits");
    steps.suffix("lblL2Size", prop::L2CacheSize, " KB");
    steps.suffix("lblL2Speed", prop::L2CacheSpeed, " MHz");
    steps.quotientSuffix("lblVoltage", prop::CurrentVoltage, 10, " Volts");
    steps.suffix("lblExtClock", prop::ExtClock, " MHz");
    steps.suffix("lblCPUSpeed", prop::CurrentClockSpeed, " MHz");
    steps.suffix("lblCPUMaxSpeed", prop::MaxClockSpeed, " MHz");
    steps.strict("lblCPULevel", prop::Level);
    steps.strict("lblCPUStatus", prop::Status);
    steps.code("lblCPUStatus2", prop::cpustatus, modWMI::CpuStatusText);
    steps.code("lblCPUAvail", prop::Availability, modWMI::AvailabilityText);
    steps.strict("lblCPUID", prop::ProcessorId);
    steps.strict("lblCPUVer", prop::Version);
    steps.strict("lblCPURev", prop::Revision);
}

}  // namespace tolvex
