#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sections/MainState.h"
#include "sections/Policies.h"
#include "wmi/Conversions.h"

namespace tolvex {

// The field steps of a detector or selector handler: each reads one property
// of one instance, converts it and sets one field, as a step of its own under
// SkipOnFailure. With no instance every step fails and its field keeps its
// text.
class FieldSteps {
  public:
    FieldSteps(SectionContext& context, ObjectPtr instance)
        : m_context(context), m_instance(std::move(instance)) {}

    // The value shown unchanged (strict text).
    void strict(std::string_view field, std::string_view property);
    // The value followed by a suffix; Null shows the suffix alone.
    void suffix(std::string_view field, std::string_view property, std::string_view suffix);
    // The value as a 16-bit code passed through a code table.
    void code(std::string_view field, std::string_view property,
              std::string (*table)(std::int16_t));
    // The value divided by a constant, then written as a real followed by a
    // suffix (3.3 Volts); Null shows the suffix alone.
    void quotientSuffix(std::string_view field, std::string_view property, double divisor,
                        std::string_view suffix);
    // The value divided by a constant, formatted with a number mask, then the
    // suffix; Null shows the suffix alone.
    void quotientMask(std::string_view field, std::string_view property, double divisor,
                      std::string_view mask, std::string_view suffix);

    ManagementValue read(std::string_view property) const;

  private:
    // Reads the property, turns it into the field's text and sets it; then
    // notes on the field why it shows no value, if that is so.
    template <class MakeText>
    void step(std::string_view field, std::string_view property, MakeText&& makeText) {
        std::optional<ManagementValue> value;
        bool written = false;
        skipOnFailure([&] {
            value = read(property);
            m_context.screen.setText(field, makeText(*value));
            written = true;
        });
        if (value) {
            noteWhyNull(field, property, *value, written);
        }
    }
    void noteWhyNull(std::string_view field, std::string_view property,
                     const ManagementValue& value, bool written);

    SectionContext& m_context;
    ObjectPtr m_instance;
};

// A field's note for a Null value: the reason, capitalised, then on a line
// of its own what would bring the value back, where the reason says;
// "Needs administrator rights: /sys/firmware/dmi/tables/DMI\nRun Tolvex as
// root to read the firmware tables". Empty when no reason is given.
std::string nullNote(const NullReason& reason);

// Runs the field steps for every instance of a class, in the service's
// order, so that each field ends with the last value that could be shown. A
// failed query or walk leaves the remaining fields as they are.
template <class Fill>
void forEachInstance(SectionContext& context, const char* className, Fill&& fill) {
    skipOnFailure([&] {
        const ObjectSetPtr set = enumerateClass(context.state, className);
        auto walk = set->enumerate();
        while (ObjectPtr instance = walk->next()) {
            FieldSteps steps(context, instance);
            fill(steps);
        }
    });
}

}  // namespace tolvex
