#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Screen.h"
#include "wmi/Conversions.h"
#include "wmi/Management.h"

namespace tolvex {

// What the main window keeps for a section with a selector: the set its
// detection enumerated and the object path of each selector item.
struct SelectorSection {
    ObjectSetPtr InstanceSet;
    std::vector<std::string> InstancePathList{std::string()};
};

// The members of frmMain that outlive a call.
struct MainState {
    std::int16_t CurrentSection = 0;
    bool DetectionDone = false;
    SelectorSection cpu;
    SelectorSection nic;
    SelectorSection drv;
    SelectorSection mem;
    SelectorSection scsi;
    ServicePtr ManagementService;
};

// Everything a detector or selector handler works with.
struct SectionContext {
    Screen& screen;
    MainState& state;
    const NumberFormat& format;
};

}  // namespace tolvex
