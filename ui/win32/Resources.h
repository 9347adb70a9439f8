#pragma once

// Resource identifiers shared by the resource script and the code. The
// program's icon has the lowest identifier, so the shell shows it for the
// executable.
#define TOLVEX_ICON_RESOURCE 1

#ifndef RC_INVOKED
namespace tolvex::ui::win32 {
inline constexpr int kIconResource = TOLVEX_ICON_RESOURCE;
}  // namespace tolvex::ui::win32
#endif
