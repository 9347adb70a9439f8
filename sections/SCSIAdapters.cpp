#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"
#include "wmi/modWMI.h"

namespace tolvex {

using namespace wmi;

void DetectSCSI(SectionContext& context) {
    detectSelectorSection(context, context.state.scsi,
                          {.className = cls::SCSIController,
                           .selector = "cboSCSI",
                           .itemProperty = prop::Name,
                           .countLabel = "lblSCSICount",
                           .countText = " SCSI adapter(s) detected.",
                           .failureText = "Unable to detect SCSI adapter(s)."});
}

void cboSCSI_Click(SectionContext& context) {
    ObjectPtr instance;
    skipOnFailure([&] { instance = fetchSelected(context, context.state.scsi, "cboSCSI"); });
    FieldSteps steps(context, instance);
    steps.strict("lblSCSICaption", prop::Name);
    steps.strict("lblSCSIManufac", prop::Manufacturer);
    steps.strict("lblSCSIDrv", prop::DriverName);
    steps.strict("lblSCSIVer", prop::HardwareVersion);
    steps.strict("lblSCSIDataWidth", prop::MaxDataWidth);
    steps.strict("lblSCSITxRate", prop::MaxTransferRate);
    steps.strict("lblSCSIMaxDevice", prop::MaxNumberControlled);
    steps.strict("lblSCSIProtection", prop::ProtectionManagement);
    steps.code("lblSCSIProtocol", prop::ProtocolSupported, modWMI::ProtocolText);
}

}  // namespace tolvex
