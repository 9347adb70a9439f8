#include "sections/FieldSteps.h"

#include "ui/ScreenDefinitions.h"

namespace tolvex {

std::string nullNote(const NullReason& reason) {
    std::string note = reasonText(reason);
    if (!note.empty() && note.front() >= 'a' && note.front() <= 'z') {
        note.front() = static_cast<char>(note.front() - 'a' + 'A');
    }
    if (!note.empty() && !reason.remedy.empty()) {
        note += "\n" + reason.remedy;
    }
    return note;
}

// A Null leaves the field without a value when the step wrote its text (the
// unit alone) or when the field still shows its initial "...". A field that
// keeps a value shown earlier (of another instance) has no note.
void FieldSteps::noteWhyNull(std::string_view field, std::string_view property,
                             const ManagementValue& value, bool written) {
    skipOnFailure([&] {
        std::string note;
        if (value.isNull() && (written || m_context.screen.text(field) == ui::kInitialValue)) {
            note = nullNote(m_instance->nullReason(property));
        }
        m_context.screen.setNullNote(field, note);
    });
}

ManagementValue FieldSteps::read(std::string_view property) const {
    if (!m_instance) {
        throw Failure(kObjectNotSet);
    }
    return m_instance->property(property);
}

void FieldSteps::strict(std::string_view field, std::string_view property) {
    step(field, property,
         [&](const ManagementValue& value) { return strictText(value, m_context.format); });
}

void FieldSteps::suffix(std::string_view field, std::string_view property,
                        std::string_view suffix) {
    step(field, property,
         [&](const ManagementValue& value) { return suffixText(value, suffix, m_context.format); });
}

void FieldSteps::code(std::string_view field, std::string_view property,
                      std::string (*table)(std::int16_t)) {
    step(field, property, [&](const ManagementValue& value) { return table(code16(value)); });
}

void FieldSteps::quotientSuffix(std::string_view field, std::string_view property, double divisor,
                                std::string_view suffix) {
    step(field, property, [&](const ManagementValue& value) {
        const auto shown = quotient(value, divisor);
        return (shown ? realText(*shown, m_context.format) : std::string()) + std::string(suffix);
    });
}

void FieldSteps::quotientMask(std::string_view field, std::string_view property, double divisor,
                              std::string_view mask, std::string_view suffix) {
    step(field, property, [&](const ManagementValue& value) {
        return formatMask(quotient(value, divisor), mask, m_context.format) + std::string(suffix);
    });
}

}  // namespace tolvex
