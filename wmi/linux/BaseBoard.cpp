#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Smbios.h"

namespace tolvex::linuxprov {

namespace {

using values::booleanOrNull;
using values::textOrNull;

std::optional<bool> featureBit(const std::optional<std::uint8_t>& features, int bit) {
    if (!features) {
        return std::nullopt;
    }
    return ((*features >> bit) & 1) != 0;
}

}  // namespace

// The main board: the first base-board structure of the firmware's table,
// else the board attributes of /sys/class/dmi/id (the serial number there is
// readable by root only), else an instance whose values are all unknown, as
// every machine has a board.
std::vector<ObjectPtr> enumerateBaseBoards(const ProviderContext& context) {
    const smbios::Table table = smbios::readTable(context.files);
    smbios::BaseBoardInfo board;
    if (const auto boards = table.ofType(2); !boards.empty()) {
        board = smbios::decodeBaseBoard(*boards.front());
    } else {
        board.manufacturer = smbios::dmiId(context.files, "board_vendor");
        board.product = smbios::dmiId(context.files, "board_name");
        board.version = smbios::dmiId(context.files, "board_version");
        board.serialNumber = smbios::dmiId(context.files, "board_serial");
        board.assetTag = smbios::dmiId(context.files, "board_asset_tag");
    }

    namespace p = wmi::prop;
    const std::string tag = "Base Board";
    const auto baseBoard = ManagementValue::text(tag);
    const auto null = ManagementValue::null();
    std::vector<StaticObject::Property> props = {
        {"Caption", baseBoard},
        {"CreationClassName", ManagementValue::text(wmi::cls::BaseBoard)},
        {p::Depth, null},
        {"Description", baseBoard},
        {p::Height, null},
        {"HostingBoard", booleanOrNull(featureBit(board.features, 0))},
        {"HotSwappable", booleanOrNull(featureBit(board.features, 4))},
        {"InstallDate", null},
        {p::Manufacturer, textOrNull(board.manufacturer)},
        {p::Model, null},
        {p::Name, baseBoard},
        {"OtherIdentifyingInfo", textOrNull(board.assetTag)},
        {p::PartNumber, null},
        {"PoweredOn", null},
        {p::Product, textOrNull(board.product)},
        {"Removable", booleanOrNull(featureBit(board.features, 2))},
        {"Replaceable", booleanOrNull(featureBit(board.features, 3))},
        {"RequirementsDescription", null},
        {"RequiresDaughterBoard", booleanOrNull(featureBit(board.features, 1))},
        {p::SerialNumber, textOrNull(board.serialNumber)},
        {"SKU", null},
        {p::SlotLayout, null},
        {"SpecialRequirements", null},
        {p::Status, null},
        {p::Tag, baseBoard},
        {p::Version, textOrNull(board.version)},
        {p::Weight, null},
        {p::Width, null},
    };
    return {std::make_shared<StaticObject>(wmi::cls::BaseBoard,
                                           instancePath(context, wmi::cls::BaseBoard, p::Tag, tag),
                                           std::move(props))};
}

}  // namespace tolvex::linuxprov
