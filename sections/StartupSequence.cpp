#include "sections/StartupSequence.h"

#include "sections/Detectors.h"
#include "wmi/WmiNames.h"

namespace tolvex {

void runDetectionSteps(SectionContext& context, const std::function<void()>& detectIPAddresses) {
    struct Step {
        const char* text;
        std::function<void()> detector;
    };
    const Step steps[] = {
        {"Detecting system processor(s)...", [&] { DetectSystemCPUs(context); }},
        {"Detecting motherboard...", [&] { DetectMotherBoard(context); }},
        {"Detecting main memory banks...", [&] { DetectMEM(context); }},
        {"Detecting network adapter(s)...", [&] { DetectSystemNICs(context); }},
        {"Detecting IP address(es)...", detectIPAddresses},
        {"Detecting video adapter...", [&] { DetectVideoAdapter(context); }},
        {"Detecting SCSI adapter...", [&] { DetectSCSI(context); }},
        {"Detecting drive(s)...", [&] { DetectDRVs(context); }},
        {"Detecting operating system...", [&] { DetectOS(context); }},
    };
    for (const auto& step : steps) {
        context.screen.setText("lblLoad", step.text);
        if (step.detector) {
            step.detector();
        }
    }
}

const std::vector<std::string>& startupClasses() {
    namespace cls = wmi::cls;
    static const std::vector<std::string> classes = {
        cls::Processor,      cls::BaseBoard,      cls::MotherboardDevice,
        cls::PhysicalMemory, cls::NetworkAdapter, cls::VideoController,
        cls::SCSIController, cls::LogicalDisk,    cls::OperatingSystem,
    };
    return classes;
}

void connectSelectorHandlers(SectionContext& context) {
    Screen& screen = context.screen;
    screen.setClickHandler("cboCPUs", [&context] { cboCPUs_Click(context); });
    screen.setClickHandler("cboMem", [&context] { cboMem_Click(context); });
    screen.setClickHandler("cboNIC", [&context] { cboNIC_Click(context); });
    screen.setClickHandler("cboSCSI", [&context] { cboSCSI_Click(context); });
    screen.setClickHandler("lvDrives", [&context] { lvDrives_Click(context); });
}

}  // namespace tolvex
