#include "sections/Detectors.h"
#include "sections/FieldSteps.h"
#include "wmi/WmiNames.h"

namespace tolvex {

using namespace wmi;

void DetectMotherBoard(SectionContext& context) {
    forEachInstance(context, cls::BaseBoard, [](FieldSteps& steps) {
        steps.strict("lblMBProduct", prop::Product);
        steps.strict("lblMBManufac", prop::Manufacturer);
        steps.strict("lblMBName", prop::Name);
        steps.strict("lblMBModel", prop::Model);
        steps.strict("lblMBPartNum", prop::PartNumber);
        steps.strict("lblMBSerial", prop::SerialNumber);
        steps.strict("lblMBVersion", prop::Version);
        steps.strict("lblMBHeight", prop::Height);
        steps.strict("lblMBWidth", prop::Width);
        steps.strict("lblMBDepth", prop::Depth);
        steps.strict("lblMBWeight", prop::Weight);
        steps.strict("lblMBSlots", prop::SlotLayout);
    });
    // A failure of the base-board query does not keep the bus types back.
    forEachInstance(context, cls::MotherboardDevice, [](FieldSteps& steps) {
        steps.strict("lblMBPriBus", prop::PrimaryBusType);
        steps.strict("lblMBSecBus", prop::SecondaryBusType);
        steps.strict("lblMBRevision", prop::Revision);
    });
}

}  // namespace tolvex
