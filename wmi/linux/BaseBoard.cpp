#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"
#include "wmi/linux/LinuxService.h"
#include "wmi/linux/ProviderValues.h"
#include "wmi/linux/Smbios.h"
#include "wmi/linux/Sources.h"

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
    const smbios::Table& table = context.smbios->table(context.files);
    smbios::BaseBoardInfo board;
    const auto boards = table.ofType(2);
    if (!boards.empty()) {
        board = smbios::decodeBaseBoard(*boards.front());
    } else {
        board.manufacturer = smbios::dmiId(context.files, "board_vendor");
        board.product = smbios::dmiId(context.files, "board_name");
        board.version = smbios::dmiId(context.files, "board_version");
        board.serialNumber = smbios::dmiId(context.files, "board_serial");
        board.assetTag = smbios::dmiId(context.files, "board_asset_tag");
    }

    // The table's board, else the kernel's attribute for each value.
    const Source& firmware = table.source;
    const auto attribute = [&](const char* name) {
        return boards.empty() ? either({firmware, smbios::dmiIdSource(context.files, name)})
                              : firmware;
    };

    namespace p = wmi::prop;
    const std::string tag = "Base Board";
    const auto baseBoard = ManagementValue::text(tag);
    const auto null = ManagementValue::null();
    std::vector<Described> props = {
        {"Caption", baseBoard},
        {"CreationClassName", ManagementValue::text(wmi::cls::BaseBoard)},
        {p::Depth, null},
        {"Description", baseBoard},
        {p::Height, null},
        {"HostingBoard", booleanOrNull(featureBit(board.features, 0)), firmware},
        {"HotSwappable", booleanOrNull(featureBit(board.features, 4)), firmware},
        {"InstallDate", null},
        {p::Manufacturer, textOrNull(board.manufacturer), attribute("board_vendor")},
        {p::Model, null},
        {p::Name, baseBoard},
        {"OtherIdentifyingInfo", textOrNull(board.assetTag), attribute("board_asset_tag")},
        {p::PartNumber, null},
        {"PoweredOn", null},
        {p::Product, textOrNull(board.product), attribute("board_name")},
        {"Removable", booleanOrNull(featureBit(board.features, 2)), firmware},
        {"Replaceable", booleanOrNull(featureBit(board.features, 3)), firmware},
        {"RequirementsDescription", null},
        {"RequiresDaughterBoard", booleanOrNull(featureBit(board.features, 1)), firmware},
        {p::SerialNumber, textOrNull(board.serialNumber), attribute("board_serial")},
        {"SKU", null},
        {p::SlotLayout, null},
        {"SpecialRequirements", null},
        {p::Status, null},
        {p::Tag, baseBoard},
        {p::Version, textOrNull(board.version), attribute("board_version")},
        {p::Weight, null},
        {p::Width, null},
    };
    return {describedObject(wmi::cls::BaseBoard,
                            instancePath(context, wmi::cls::BaseBoard, p::Tag, tag),
                            std::move(props))};
}

}  // namespace tolvex::linuxprov
