#pragma once

#include <stdexcept>
#include <string>

namespace tolvex {

// A failed operation of the management layer (or of a conversion that the
// layer performs). It carries the description that the "Detection Error" box
// shows after the section's sentence.
class Failure : public std::runtime_error {
  public:
    explicit Failure(std::string description) : std::runtime_error(std::move(description)) {}
    std::string description() const { return what(); }
};

// Descriptions of the failures the layer raises itself.
inline constexpr const char* kObjectNotSet =
    "Object variable not set: there is no connection to the management service.";
inline constexpr const char* kInvalidUseOfNull =
    "Invalid use of Null: the value is Null where a text is required.";
inline constexpr const char* kOverflow = "Overflow: the value does not fit in a 16-bit code.";
inline constexpr const char* kTypeMismatch = "Type mismatch: the value is not a number.";
inline constexpr const char* kSubscriptOutOfRange =
    "Subscript out of range: no object path is stored for this item.";

}  // namespace tolvex
