#include "wmi/MonitorIdentity.h"

#include <utility>
#include <vector>

#include "wmi/Edid.h"
#include "wmi/ObjectPath.h"
#include "wmi/StaticObject.h"
#include "wmi/WmiNames.h"

namespace tolvex {

namespace {

using Kind = NullReason::Kind;

// What the block's own state says of a field it does not give.
struct BlockState {
    std::string source;
    std::string damage;  // empty for a whole block with a good checksum
};

BlockState blockState(const MonitorRead& monitor, const edid::Identity& identity) {
    BlockState state{monitor.edidSource, {}};
    if (!identity.header) {
        state.damage = identity.length == 0 ? "empty" : "no EDID header";
    } else if (identity.length < edid::kBlockSize) {
        state.damage = "truncated: " + std::to_string(identity.length) + " of " +
                       std::to_string(edid::kBlockSize) + " bytes";
    } else if (!identity.checksumValid) {
        state.damage = "checksum wrong";
    }
    return state;
}

template <typename T>
NullReason reasonFor(const edid::Field<T>& field, const BlockState& state) {
    if (field.value) {
        return {};
    }
    if (field.missing == edid::Missing::Unreadable || !state.damage.empty()) {
        // A damaged block's silence on a field says nothing of the monitor.
        return {Kind::Unreadable, state.source + " (" + state.damage + ")", {}};
    }
    return {Kind::NotProvided, state.source, {}};
}

ManagementValue textOf(const edid::Field<std::string>& field) {
    return field.value ? ManagementValue::text(*field.value) : ManagementValue::null();
}

ManagementValue integerOf(const edid::Field<int>& field) {
    return field.value ? ManagementValue::integer(*field.value) : ManagementValue::null();
}

}  // namespace

ObjectPtr monitorObject(const MonitorRead& monitor) {
    namespace prop = wmi::prop;
    ObjectPath path;
    path.host = monitor.host;
    path.nameSpace = "root\\wmi";
    path.className = wmi::cls::MonitorID;
    path.keyName = prop::InstanceName;
    path.keyValue = monitor.instanceName;

    std::vector<StaticObject::Property> values;
    std::vector<NullReason> reasons;
    const auto add = [&](const char* name, ManagementValue value, NullReason reason) {
        reasons.push_back(value.isNull() ? std::move(reason) : NullReason{});
        values.emplace_back(name, std::move(value));
    };
    add(prop::InstanceName, ManagementValue::text(monitor.instanceName), {});
    add(prop::Active,
        monitor.active ? ManagementValue::boolean(*monitor.active) : ManagementValue::null(),
        monitor.whyNoActive);

    if (!monitor.edid) {
        for (const char* name :
             {prop::ManufacturerName, prop::ProductCodeID, prop::SerialNumberID,
              prop::UserFriendlyName, prop::WeekOfManufacture, prop::YearOfManufacture,
              prop::MaxHorizontalImageSize, prop::MaxVerticalImageSize}) {
            add(name, ManagementValue::null(), monitor.whyNoEdid);
        }
    } else {
        const edid::Identity identity = edid::decodeIdentity(*monitor.edid);
        const BlockState state = blockState(monitor, identity);
        add(prop::ManufacturerName, textOf(identity.manufacturer),
            reasonFor(identity.manufacturer, state));
        add(prop::ProductCodeID,
            identity.productCode.value
                ? ManagementValue::text(std::to_string(*identity.productCode.value))
                : ManagementValue::null(),
            reasonFor(identity.productCode, state));
        add(prop::SerialNumberID, textOf(identity.serial), reasonFor(identity.serial, state));
        add(prop::UserFriendlyName, textOf(identity.name), reasonFor(identity.name, state));
        NullReason whyNoWeek = reasonFor(identity.week, state);
        if (identity.modelYear && whyNoWeek.kind == Kind::NotProvided) {
            whyNoWeek.source += " (a model year, not a date of manufacture)";
        }
        add(prop::WeekOfManufacture, integerOf(identity.week), std::move(whyNoWeek));
        add(prop::YearOfManufacture, integerOf(identity.year), reasonFor(identity.year, state));
        add(prop::MaxHorizontalImageSize, integerOf(identity.maxHorizontalCm),
            reasonFor(identity.maxHorizontalCm, state));
        add(prop::MaxVerticalImageSize, integerOf(identity.maxVerticalCm),
            reasonFor(identity.maxVerticalCm, state));
    }
    return std::make_shared<StaticObject>(wmi::cls::MonitorID, path.text(), std::move(values),
                                          std::move(reasons));
}

}  // namespace tolvex
