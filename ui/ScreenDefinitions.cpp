#include "ui/ScreenDefinitions.h"

namespace tolvex::ui {

namespace {

// Row makers: each returns one element. Geometry is Left, Top, Width, Height
// in twips relative to the parent's outer rectangle.

// Panel 0 is the one on view when the window opens.
Element panel(int index, int top, int height) {
    Element e{arrayName("frSections", index), Kind::Panel, "", 1320, top, 5055, height, ""};
    e.visible = index == 0;
    return e;
}

Element title(int index, int left, int top, int width, int height, std::string text) {
    Element e{arrayName("lblTitle", index),
              Kind::Label,
              arrayName("frSections", index),
              left,
              top,
              width,
              height,
              std::move(text),
              FontRole::Title};
    e.wordWrap = height > 255;
    return e;
}

Element icon(std::string name, int index, int top, std::string resource) {
    return {std::move(name),       Kind::Image, arrayName("frSections", index), 120, top, 480, 480,
            ":/tolvex/" + resource};
}

Element frame(std::string name, std::string parent, std::string caption, int left, int top,
              int width, int height) {
    return {
        std::move(name),    Kind::Frame,       std::move(parent),       left, top, width, height,
        std::move(caption), FontRole::Regular, ColourRole::FrameCaption};
}

// A frame of a section panel: 5055 wide at Left 0.
Element panelFrame(std::string name, int index, std::string caption, int top, int height) {
    return frame(std::move(name), arrayName("frSections", index), std::move(caption), 0, top, 5055,
                 height);
}

// A static label introducing `buddy`.
Element cap(std::string parent, int left, int top, int width, std::string text, std::string buddy) {
    Element e{buddy + "Caption", Kind::Label, std::move(parent), left, top, width, 255,
              std::move(text)};
    e.buddy = std::move(buddy);
    return e;
}

// A caption label of the Label95 control array.
Element cap95(int index, std::string parent, int top, std::string text, std::string buddy) {
    Element e = cap(std::move(parent), 120, top, 1680, std::move(text), std::move(buddy));
    e.name = arrayName("Label95", index);
    return e;
}

// A value field: "..." in dark blue; a field taller than one row wraps.
Element val(std::string name, std::string parent, int left, int top, int width, int height = 255) {
    Element e{std::move(name),
              Kind::Label,
              std::move(parent),
              left,
              top,
              width,
              height,
              std::string(kInitialValue),
              FontRole::Regular,
              ColourRole::Value};
    e.wordWrap = height > 255;
    return e;
}

Element count(std::string name, int index, int left, int top, int width, std::string text) {
    return {std::move(name),
            Kind::Label,
            arrayName("frSections", index),
            left,
            top,
            width,
            255,
            std::move(text),
            FontRole::Regular,
            ColourRole::Count};
}

Element prompt(std::string name, int index, int left, int top, int width, std::string text,
               std::string buddy) {
    Element e{std::move(name), Kind::Label, arrayName("frSections", index), left, top, width, 255,
              std::move(text)};
    e.buddy = std::move(buddy);
    return e;
}

Element combo(std::string name, int index, int top, std::string accessible = {}) {
    Element e{
        std::move(name), Kind::ComboBox, arrayName("frSections", index), 0, top, 5055, 315, ""};
    e.accessibleName = std::move(accessible);
    return e;
}

std::vector<MenuItem> mainMenu() {
    return {
        {"mnuFile", "&File", "", true},
        {"mnuFileItem(1)", "&Goto Tolvex web site", "mnuFile"},
        {"mnuFileItem(2)", "&About Tolvex...", "mnuFile"},
        {"mnuFileItem(3)", "-", "mnuFile"},
        {"mnuFileItem(4)", "E&xit", "mnuFile"},
        {"mnuSections(1)", "OS", ""},
        {"mnuSections(2)", "CPU", ""},
        {"mnuSections(3)", "Mainboard", ""},
        {"mnuSections(4)", "MEM", ""},
        {"mnuSections(5)", "Networking", ""},
        {"mnuSections(6)", "Video", ""},
        {"mnuSections(7)", "SCSI", ""},
        {"mnuSections(8)", "Drives", ""},
    };
}

std::vector<Element> mainElements() {
    const std::string P4 = "frSections(4)", P7 = "frSections(7)";
    std::vector<Element> e = {
        // Banner, outside all panels.
        {"Image9", Kind::Image, "", 0, 0, 1200, 7950, ":/tolvex/banner.svg"},

        // Panel 0: operating system.
        panel(0, 0, 7695),
        icon("Image5", 0, 120, "section-os.svg"),
        title(0, 720, 120, 4215, 495, "Windows Operating System"),
        panelFrame("Frame5", 0, " General ", 720, 1335),
        cap("Frame5", 120, 240, 1920, "Name:", "lblOSName"),
        val("lblOSName", "Frame5", 2040, 240, 2895, 495),
        cap("Frame5", 120, 720, 1920, "Manufacturer:", "lblOSManufac"),
        val("lblOSManufac", "Frame5", 2040, 720, 2895),
        cap("Frame5", 120, 960, 1920, "Serial #:", "lblOSSerial"),
        val("lblOSSerial", "Frame5", 2040, 960, 2895),
        panelFrame("Frame6", 0, " Version ", 2160, 1695),
        cap("Frame6", 120, 240, 1920, "Version:", "lblOSVer"),
        val("lblOSVer", "Frame6", 2040, 240, 2895),
        cap("Frame6", 120, 480, 1920, "Build Number:", "lblOSBuild"),
        val("lblOSBuild", "Frame6", 2040, 480, 2895),
        cap("Frame6", 120, 720, 1920, "Build Type:", "lblOSBuildType"),
        val("lblOSBuildType", "Frame6", 2040, 720, 2895),
        cap("Frame6", 120, 1080, 1920, "Service Pack:", "lblOSSP"),
        val("lblOSSP", "Frame6", 2040, 1080, 2895),
        cap("Frame6", 120, 1320, 1920, "SP Version:", "lblOSSPVer"),
        val("lblOSSPVer", "Frame6", 2040, 1320, 2895),
        panelFrame("Frame7", 0, " Physical ", 3960, 2175),
        cap("Frame7", 120, 240, 1920, "Boot Device:", "lblOSBoot"),
        val("lblOSBoot", "Frame7", 2040, 240, 2895),
        cap("Frame7", 120, 480, 1920, "Windows Directory:", "lblOSWinDir"),
        val("lblOSWinDir", "Frame7", 2040, 480, 2895),
        cap("Frame7", 120, 720, 1920, "System Directory:", "lblOSSysDir"),
        val("lblOSSysDir", "Frame7", 2040, 720, 2895),
        cap("Frame7", 120, 1080, 1920, "Computer Name:", "lblOSSysName"),
        val("lblOSSysName", "Frame7", 2040, 1080, 2895),
        cap("Frame7", 120, 1320, 1920, "Last Boot Time:", "lblOSLastBoot"),
        val("lblOSLastBoot", "Frame7", 2040, 1320, 2895),
        cap("Frame7", 120, 1560, 1920, "# of Lincensed Users:", "lblOSLinUsers"),
        val("lblOSLinUsers", "Frame7", 2040, 1560, 2895),
        cap("Frame7", 120, 1800, 1920, "# of Users:", "lblOSUsers"),
        val("lblOSUsers", "Frame7", 2040, 1800, 2895),

        // Panel 1: processors.
        panel(1, 0, 7815),
        icon("Image1", 1, 120, "section-cpu.svg"),
        title(1, 720, 120, 3975, 255, "Central Processor"),
        count("lblCPUCount", 1, 120, 720, 3855, "0 processor(s) detected."),
        prompt("lblCPUPrompt", 1, 0, 1080, 3975,
               "Select the processor you wish information on:", "cboCPUs"),
        combo("cboCPUs", 1, 1320),
        panelFrame("Frame2", 1, " Identification ", 1680, 2415),
        cap("Frame2", 120, 240, 1215, "Type:", "lblType"),
        val("lblType", "Frame2", 1440, 240, 2055),
        cap("Frame2", 120, 480, 1215, "Manufacturer:", "lblManufacturer"),
        val("lblManufacturer", "Frame2", 1440, 480, 2055),
        cap("Frame2", 120, 720, 1215, "Architecture:", "lblArchitec"),
        val("lblArchitec", "Frame2", 1440, 720, 2055),
        cap("Frame2", 120, 960, 1215, "Family:", "lblFamily"),
        val("lblFamily", "Frame2", 1440, 960, 2055),
        cap("Frame2", 120, 1200, 1215, "Processor ID:", "lblCPUID"),
        val("lblCPUID", "Frame2", 1440, 1200, 2055),
        cap("Frame2", 120, 1560, 1215, "Version:", "lblCPUVer"),
        val("lblCPUVer", "Frame2", 1440, 1560, 2055),
        cap("Frame2", 120, 1800, 1215, "Revision:", "lblCPURev"),
        val("lblCPURev", "Frame2", 1440, 1800, 2055),
        cap("Frame2", 120, 2040, 1215, "Level:", "lblCPULevel"),
        val("lblCPULevel", "Frame2", 1440, 2040, 2055),
        panelFrame("Frame3", 1, " Physical Info ", 4200, 1215),
        cap("Frame3", 120, 240, 1215, "Voltage:", "lblVoltage"),
        val("lblVoltage", "Frame3", 1320, 240, 975),
        cap("Frame3", 120, 600, 1215, "Address Bus:", "lblABus"),
        val("lblABus", "Frame3", 1320, 600, 975),
        cap("Frame3", 120, 840, 1215, "Data Bus:", "lblBBus"),
        val("lblBBus", "Frame3", 1320, 840, 1095),
        cap("Frame3", 2520, 240, 1095, "Ext Clock:", "lblExtClock"),
        val("lblExtClock", "Frame3", 3720, 240, 975),
        cap("Frame3", 2520, 600, 1095, "Speed:", "lblCPUSpeed"),
        val("lblCPUSpeed", "Frame3", 3720, 600, 975),
        cap("Frame3", 2520, 840, 1095, "MAX Speed:", "lblCPUMaxSpeed"),
        val("lblCPUMaxSpeed", "Frame3", 3720, 840, 975),
        panelFrame("Frame1", 1, " Status ", 5520, 1215),
        cap("Frame1", 120, 240, 1095, "Status:", "lblCPUStatus"),
        val("lblCPUStatus", "Frame1", 1200, 240, 3135),
        val("lblCPUStatus2", "Frame1", 1200, 480, 3135),
        cap("Frame1", 120, 840, 1095, "Availability:", "lblCPUAvail"),
        val("lblCPUAvail", "Frame1", 1200, 840, 3135),
        panelFrame("Frame4", 1, " Level 2 Cache ", 6840, 855),
        cap("Frame4", 120, 240, 1575, "L2 Cache Size:", "lblL2Size"),
        val("lblL2Size", "Frame4", 1680, 240, 2775),
        cap("Frame4", 120, 480, 1575, "L2 Cache Speed:", "lblL2Speed"),
        val("lblL2Speed", "Frame4", 1680, 480, 2775),

        // Panel 2: motherboard.
        panel(2, 0, 7815),
        icon("Image4", 2, 120, "section-board.svg"),
        title(2, 840, 120, 2895, 255, "Motherboard"),
        panelFrame("Frame12", 2, " Identification ", 720, 2535),
        cap("Frame12", 120, 240, 1575, "Name:", "lblMBName"),
        val("lblMBName", "Frame12", 1680, 240, 3255),
        cap("Frame12", 120, 480, 1575, "Manufacturer:", "lblMBManufac"),
        val("lblMBManufac", "Frame12", 1680, 480, 3255),
        cap("Frame12", 120, 720, 1575, "Product:", "lblMBProduct"),
        val("lblMBProduct", "Frame12", 1680, 720, 3255),
        cap("Frame12", 120, 1200, 1575, "Model #:", "lblMBModel"),
        val("lblMBModel", "Frame12", 1680, 1200, 3255),
        cap("Frame12", 120, 1440, 1575, "Part #:", "lblMBPartNum"),
        val("lblMBPartNum", "Frame12", 1680, 1440, 3255),
        cap("Frame12", 120, 1680, 1575, "Serial #:", "lblMBSerial"),
        val("lblMBSerial", "Frame12", 1680, 1680, 3255),
        cap("Frame12", 120, 1920, 1575, "Version:", "lblMBVersion"),
        val("lblMBVersion", "Frame12", 1680, 1920, 3255),
        cap("Frame12", 120, 2160, 1575, "Revision:", "lblMBRevision"),
        val("lblMBRevision", "Frame12", 1680, 2160, 3255),
        panelFrame("Frame11", 2, " Data Buses ", 3360, 1095),
        cap("Frame11", 120, 240, 1575, "Primary Bus:", "lblMBPriBus"),
        val("lblMBPriBus", "Frame11", 1680, 240, 3255),
        cap("Frame11", 120, 480, 1575, "Secondary Bus:", "lblMBSecBus"),
        val("lblMBSecBus", "Frame11", 1680, 480, 3255),
        cap("Frame11", 120, 720, 1575, "Slot Layout:", "lblMBSlots"),
        val("lblMBSlots", "Frame11", 1680, 720, 3255),
        panelFrame("Frame10", 2, " Dimensions ", 4560, 1335),
        cap("Frame10", 120, 240, 1575, "Height:", "lblMBHeight"),
        val("lblMBHeight", "Frame10", 1680, 240, 3255),
        cap("Frame10", 120, 480, 1575, "Width:", "lblMBWidth"),
        val("lblMBWidth", "Frame10", 1680, 480, 3255),
        cap("Frame10", 120, 720, 1575, "Depth:", "lblMBDepth"),
        val("lblMBDepth", "Frame10", 1680, 720, 3255),
        cap("Frame10", 120, 960, 1575, "Weight:", "lblMBWeight"),
        val("lblMBWeight", "Frame10", 1680, 960, 3255),

        // Panel 3: memory banks, and the system totals.
        panel(3, 0, 7815),
        icon("Image6", 3, 120, "section-memory.svg"),
        title(3, 720, 120, 3015, 255, "Main Memory"),
        combo("cboMem", 3, 840, "Memory bank:"),
        panelFrame("Frame13", 3, " Identification ", 1200, 1575),
        cap("Frame13", 120, 240, 1440, "Bank Label:", "lblMEMLabel"),
        val("lblMEMLabel", "Frame13", 1560, 240, 3255),
        cap("Frame13", 120, 480, 1440, "Manufacturer:", "lblMEMManufac"),
        val("lblMEMManufac", "Frame13", 1560, 480, 3255),
        cap("Frame13", 120, 720, 1440, "Part #:", "lblMEMPart"),
        val("lblMEMPart", "Frame13", 1560, 720, 3255),
        cap("Frame13", 120, 960, 1440, "Model #:", "lblMEMModel"),
        val("lblMEMModel", "Frame13", 1560, 960, 3255),
        cap("Frame13", 120, 1200, 1440, "Serial #:", "lblMEMSerial"),
        val("lblMEMSerial", "Frame13", 1560, 1200, 3255),
        panelFrame("Frame14", 3, " Details ", 2880, 1575),
        cap("Frame14", 120, 240, 1440, "Locator on:", "lblMEMLoc"),
        val("lblMEMLoc", "Frame14", 1560, 240, 3375),
        cap("Frame14", 120, 480, 1440, "Form Factor:", "lblMEMFactor"),
        val("lblMEMFactor", "Frame14", 1560, 480, 3375),
        cap("Frame14", 120, 720, 1440, "Memory Type:", "lblMEMType"),
        val("lblMEMType", "Frame14", 1560, 720, 3375),
        cap("Frame14", 120, 960, 1440, "Detail:", "lblMEMDetail"),
        val("lblMEMDetail", "Frame14", 1560, 960, 3255),
        cap("Frame14", 120, 1200, 1440, "Version:", "lblMEMVer"),
        val("lblMEMVer", "Frame14", 1560, 1200, 3375),
        panelFrame("Frame15", 3, " Size ", 4560, 1335),
        cap("Frame15", 120, 240, 1440, "Capacity:", "lblMEMCapacity"),
        val("lblMEMCapacity", "Frame15", 1560, 240, 3255),
        cap("Frame15", 120, 480, 1440, "Data Width:", "lblMEMData"),
        val("lblMEMData", "Frame15", 1560, 480, 3255),
        cap("Frame15", 120, 720, 1440, "Total Width:", "lblMEMWidth"),
        val("lblMEMWidth", "Frame15", 1560, 720, 3255),
        cap("Frame15", 120, 960, 1440, "Speed:", "lblMEMSpeed"),
        val("lblMEMSpeed", "Frame15", 1560, 960, 3255),
        panelFrame("Frame16", 3, " Total System ", 6000, 1815),
        cap("Frame16", 120, 240, 1920, "Total Memory:", "lblMEMTotPhys"),
        val("lblMEMTotPhys", "Frame16", 2040, 240, 2775),
        cap("Frame16", 120, 480, 1920, "Free Memory:", "lblMEMAvailPhys"),
        val("lblMEMAvailPhys", "Frame16", 2040, 480, 2775),
        cap("Frame16", 120, 720, 1920, "Total Virtual Memory:", "lblMEMTotVirt"),
        val("lblMEMTotVirt", "Frame16", 2040, 720, 2775),
        cap("Frame16", 120, 960, 1920, "Free Virtual Memory:", "lblMEMAvailVirt"),
        val("lblMEMAvailVirt", "Frame16", 2040, 960, 2775),
        cap("Frame16", 120, 1200, 1920, "Total Swap Space:", "lblMEMTotSwap"),
        val("lblMEMTotSwap", "Frame16", 2040, 1200, 2775),
        cap("Frame16", 120, 1440, 1920, "Free Swap Space:", "lblMEMAvailSwap"),
        val("lblMEMAvailSwap", "Frame16", 2040, 1440, 2775),

        // Panel 4: network adapters and IP addresses.
        panel(4, 0, 7695),
        icon("Image2", 4, 120, "section-network.svg"),
        title(4, 720, 120, 2655, 255, "Network Adapters"),
        count("lblNICCount", 4, 0, 720, 5055, "0 network adapter device(s) detected."),
        prompt("lblNICPrompt", 4, 0, 1080, 4335,
               "Select a network adapter to view information on:", "cboNIC"),
        combo("cboNIC", 4, 1320),
        frame("Frame9", P4, " Details ", 0, 1800, 5055, 1575),
        cap("Frame9", 120, 240, 1575, "Manufacturer:", "lblNICManufacturer"),
        val("lblNICManufacturer", "Frame9", 1680, 240, 2775),
        cap("Frame9", 120, 480, 1575, "Adapter Type:", "lblNICType"),
        val("lblNICType", "Frame9", 1680, 480, 2775),
        cap("Frame9", 120, 720, 1575, "Device ID:", "lblNICID"),
        val("lblNICID", "Frame9", 1680, 720, 2775),
        cap("Frame9", 120, 1200, 1575, "MAC Address:", "lblNICMACAddr"),
        val("lblNICMACAddr", "Frame9", 1680, 1200, 2775),
        cap(P4, 0, 3480, 2055, "System IP addresses:", "lstIPAddr"),
        {"lstIPAddr", Kind::ListBox, P4, 0, 3720, 5055, 1035, "", FontRole::Regular,
         ColourRole::Value},

        // Panel 5: video adapter.
        panel(5, 0, 7815),
        icon("Image7", 5, 120, "section-video.svg"),
        title(5, 720, 120, 2415, 255, "Video Adapter"),
        panelFrame("Frame17", 5, " Identification ", 840, 1335),
        cap("Frame17", 120, 240, 1560, "Name:", "lblVIDName"),
        val("lblVIDName", "Frame17", 1680, 240, 3135),
        cap("Frame17", 120, 480, 1560, "Video Processor:", "lblVIDProc"),
        val("lblVIDProc", "Frame17", 1680, 480, 3135),
        cap("Frame17", 120, 720, 1560, "Architecture:", "lblVIDArch"),
        val("lblVIDArch", "Frame17", 1680, 720, 3135),
        cap("Frame17", 120, 960, 1560, "Protocol:", "lblVIDProtocol"),
        val("lblVIDProtocol", "Frame17", 1680, 960, 3135),
        panelFrame("Frame18", 5, " Memory ", 2280, 1095),
        cap("Frame18", 120, 240, 1560, "RAM Type:", "lblVIDMemType"),
        val("lblVIDMemType", "Frame18", 1680, 240, 3135),
        cap("Frame18", 120, 480, 1560, "DAC Type:", "lblVIDDAC"),
        val("lblVIDDAC", "Frame18", 1680, 480, 3135),
        cap("Frame18", 120, 720, 1560, "Onboard RAM:", "lblVIDMem"),
        val("lblVIDMem", "Frame18", 1680, 720, 3135),
        panelFrame("Frame19", 5, " Display Driver ", 3480, 1095),
        cap("Frame19", 120, 240, 1560, "Display Driver:", "lblVIDDrv"),
        val("lblVIDDrv", "Frame19", 1680, 240, 3135),
        cap("Frame19", 120, 480, 1560, "Driver Date:", "lblVIDDrvDate"),
        val("lblVIDDrvDate", "Frame19", 1680, 480, 3135),
        cap("Frame19", 120, 720, 1560, "Driver Version:", "lblVIDDrvVer"),
        val("lblVIDDrvVer", "Frame19", 1680, 720, 3135),
        panelFrame("Frame20", 5, " Current Display Settings ", 4680, 1095),
        cap("Frame20", 120, 240, 1560, "Video Mode:", "lblVIDMode"),
        val("lblVIDMode", "Frame20", 1680, 240, 3135),
        cap("Frame20", 120, 480, 1560, "Refresh Rate:", "lblVIDRefresh"),
        val("lblVIDRefresh", "Frame20", 1680, 480, 3135),
        cap("Frame20", 120, 720, 1560, "MAX Refresh:", "lblVIDMaxRefresh"),
        val("lblVIDMaxRefresh", "Frame20", 1680, 720, 3135),

        // Panel 6: SCSI adapters.
        panel(6, 0, 7815),
        icon("Image8", 6, 120, "section-scsi.svg"),
        title(6, 840, 120, 2655, 255, "SCSI Adapter"),
        count("lblSCSICount", 6, 0, 720, 4815, "0 SCSI adapter(s) detected."),
        prompt("lblSCSIPrompt", 6, 0, 1080, 5055,
               "Choose the SCSI adapter you which info on:", "cboSCSI"),
        combo("cboSCSI", 6, 1320),
        panelFrame("Frame21", 6, " Identification ", 1800, 2055),
        cap95(0, "Frame21", 240, "Name:", "lblSCSICaption"),
        val("lblSCSICaption", "Frame21", 1800, 240, 3015, 495),
        cap95(1, "Frame21", 720, "Manufacturer:", "lblSCSIManufac"),
        val("lblSCSIManufac", "Frame21", 1800, 720, 3015),
        cap95(5, "Frame21", 960, "Hardware Version:", "lblSCSIVer"),
        val("lblSCSIVer", "Frame21", 1800, 960, 3015),
        cap95(9, "Frame21", 1440, "Protection:", "lblSCSIProtection"),
        val("lblSCSIProtection", "Frame21", 1800, 1440, 3015),
        cap95(10, "Frame21", 1680, "Protocol:", "lblSCSIProtocol"),
        val("lblSCSIProtocol", "Frame21", 1800, 1680, 3015),
        panelFrame("Frame22", 6, " Driver ", 3960, 615),
        cap95(4, "Frame22", 240, "Driver Name:", "lblSCSIDrv"),
        val("lblSCSIDrv", "Frame22", 1800, 240, 3015),
        panelFrame("Frame23", 6, " TX Details ", 4680, 1095),
        cap95(6, "Frame23", 240, "Max Data Width:", "lblSCSIDataWidth"),
        val("lblSCSIDataWidth", "Frame23", 1800, 240, 3015),
        cap95(7, "Frame23", 480, "Max Transfer Rate:", "lblSCSITxRate"),
        val("lblSCSITxRate", "Frame23", 1800, 480, 3015),
        cap95(8, "Frame23", 720, "Max # of Devices:", "lblSCSIMaxDevice"),
        val("lblSCSIMaxDevice", "Frame23", 1800, 720, 3015),

        // Panel 7: logical drives. The panel starts 120 above the client area.
        panel(7, -120, 7935),
        icon("Image3", 7, 240, "section-drives.svg"),
        title(7, 720, 240, 2775, 255, "System's Logical Drives"),
        {"lvDrives", Kind::ListView, P7, 0, 840, 5055, 1605, "", FontRole::Regular,
         ColourRole::Value},
        frame("Frame8", P7, " Drive Details ", 0, 2520, 5055, 1695),
        cap("Frame8", 120, 240, 1335, "Volume Name:", "lblDRVVolName"),
        val("lblDRVVolName", "Frame8", 1440, 240, 2055),
        cap("Frame8", 120, 480, 1335, "Serial #:", "lblDRVSerial"),
        val("lblDRVSerial", "Frame8", 1440, 480, 2055),
        cap("Frame8", 120, 840, 1335, "Type:", "lblDRVType"),
        val("lblDRVType", "Frame8", 1440, 840, 2055),
        cap("Frame8", 120, 1080, 1335, "File System:", "lblDRVFileSys"),
        val("lblDRVFileSys", "Frame8", 1440, 1080, 2055),
        cap("Frame8", 120, 1320, 1335, "Compressed:", "lblDRVComp"),
        val("lblDRVComp", "Frame8", 1440, 1320, 2055),
    };

    Element note{"lblInfo",
                 Kind::Label,
                 P4,
                 0,
                 4920,
                 5055,
                 495,
                 "NOTE: If you have a dial-up connection to the internet, your IP address will "
                 "only appear when you are connected.",
                 FontRole::Regular,
                 ColourRole::Note};
    note.wordWrap = true;
    e.push_back(note);

    for (Element& element : e) {
        if (element.name == "lvDrives") {
            element.accessibleName = "Drives:";
        } else if (element.name == "lblCPUStatus2") {
            element.accessibleName = "Status (continued):";
        }
    }
    return e;
}

WindowDefinition makeMain() {
    return {"frmMain", "Tolvex", 6660, 7920, true, mainElements(), mainMenu()};
}

WindowDefinition makeLoading() {
    Element load{"lblLoad", Kind::Label, "Frame1", 120, 240, 4215, 255, "Loading..."};
    load.align = Align::Center;
    return {"frmLoading",
            "Please wait",
            4680,
            780,
            false,
            {frame("Frame1", "", "", 120, 60, 4455, 600), load},
            {}};
}

WindowDefinition makeAbout() {
    Element version{"lblVer",        Kind::Label,      "", 0, 750, 7455, 255, "Version: ...",
                    FontRole::Large, ColourRole::Count};
    version.align = Align::Center;
    version.opaqueBackground = true;
    return {"frmAbout",
            "About Tolvex",
            7470,
            3000,
            false,
            {
                {"Image1", Kind::Image, "", 0, 0, 7500, 3000, ":/tolvex/about.svg"},
                version,
                {"cmdCancel", Kind::Button, "", 3068, 3240, 1335, 375, "OK"},
            },
            {}};
}

}  // namespace

const WindowDefinition& frmMainDefinition() {
    static const WindowDefinition definition = makeMain();
    return definition;
}

const WindowDefinition& frmLoadingDefinition() {
    static const WindowDefinition definition = makeLoading();
    return definition;
}

const WindowDefinition& frmAboutDefinition() {
    static const WindowDefinition definition = makeAbout();
    return definition;
}

const std::vector<Column>& driveColumns() {
    static const std::vector<Column> columns = {
        {"Drive", 700},
        {"Capacity (MB)", 1440},
        {"Free Space (MB)", 1600},
        {"% Free", 800},
    };
    return columns;
}

std::string arrayName(std::string_view array, int index) {
    return std::string(array) + "(" + std::to_string(index) + ")";
}

std::vector<const Element*> valueFields(const WindowDefinition& window) {
    std::vector<const Element*> fields;
    for (const Element& element : window.elements) {
        if (element.kind == Kind::Label && element.text == kInitialValue) {
            fields.push_back(&element);
        }
    }
    return fields;
}

const Element* findElement(const WindowDefinition& window, std::string_view name) {
    for (const Element& element : window.elements) {
        if (element.name == name) {
            return &element;
        }
    }
    return nullptr;
}

}  // namespace tolvex::ui
