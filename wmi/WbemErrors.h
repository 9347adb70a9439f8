#pragma once

#include <cstdint>
#include <string>

namespace tolvex {

// Words for a failed call of the management service or of COM, for the
// "Detection Error" box when the service gives no description of its own:
// "Invalid class (0x80041010)". A code not in the table still gets words.
std::string wbemErrorText(std::uint32_t code);

}  // namespace tolvex
