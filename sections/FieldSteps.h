#pragma once

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
    template <class MakeText>
    void step(std::string_view field, MakeText&& makeText) {
        skipOnFailure([&] { m_context.screen.setText(field, makeText()); });
    }

    SectionContext& m_context;
    ObjectPtr m_instance;
};

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
