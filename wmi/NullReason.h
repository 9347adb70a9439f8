#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvex {

// Why a property is Null, as far as the service can tell: one of a small
// fixed set of reasons, the source that was read (a file, a system call) and
// what would bring the value back, where something would.
struct NullReason {
    enum class Kind {
        None,                // no reason given (the value is not Null, or nobody says)
        NeedsAdministrator,  // the source exists but only root may read it
        NotProvided,         // the source is absent, or holds no such value, on this machine
        Unreadable,          // the source is damaged or did not answer in time
        NotOnPlatform,       // the platform has no such thing
        ServiceGaveNoValue,  // the management service gave no value and said no more
    };

    Kind kind = Kind::None;
    std::string source;  // e.g. "/sys/firmware/dmi/tables/DMI"; empty when there is none
    std::string remedy;  // e.g. "Run Tolvex as root to read the firmware tables"

    bool given() const { return kind != Kind::None; }
    bool operator==(const NullReason&) const = default;
};

// The reason's words: "needs administrator rights", "not provided by this
// machine", "unreadable", "no such thing on this platform", "the management
// service gave no value"; empty for Kind::None.
std::string_view reasonWords(NullReason::Kind kind);
// The kind whose words these are; no value for any other text.
std::optional<NullReason::Kind> reasonKind(std::string_view words);
// The words followed by the source: "needs administrator rights:
// /sys/firmware/dmi/tables/DMI".
std::string reasonText(const NullReason& reason);

}  // namespace tolvex
