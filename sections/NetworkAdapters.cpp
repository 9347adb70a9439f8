#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"

namespace tolvex {

using namespace wmi;

void DetectSystemNICs(SectionContext& context) {
    detectSelectorSection(context, context.state.nic,
                          {.className = cls::NetworkAdapter,
                           .selector = "cboNIC",
                           .itemProperty = prop::Name,
                           .countLabel = "lblNICCount",
                           .countText = " network adapter device(s) detected.",
                           .failureText = "Unable to detect NIC(s)."});
}

void cboNIC_Click(SectionContext& context) {
    ObjectPtr instance;
    skipOnFailure([&] { instance = fetchSelected(context, context.state.nic, "cboNIC"); });
    FieldSteps steps(context, instance);
    steps.strict("lblNICType", prop::AdapterType);
    steps.strict("lblNICID", prop::DeviceID);
    steps.strict("lblNICManufacturer", prop::Manufacturer);
    steps.strict("lblNICMACAddr", prop::MACAddress);
}

}  // namespace tolvex
