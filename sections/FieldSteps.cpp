#include "sections/FieldSteps.h"

namespace tolvex {

ManagementValue FieldSteps::read(std::string_view property) const {
    if (!m_instance) {
        throw Failure(kObjectNotSet);
    }
    return m_instance->property(property);
}

void FieldSteps::strict(std::string_view field, std::string_view property) {
    step(field, [&] { return strictText(read(property), m_context.format); });
}

void FieldSteps::suffix(std::string_view field, std::string_view property,
                        std::string_view suffix) {
    step(field, [&] { return suffixText(read(property), suffix, m_context.format); });
}

void FieldSteps::code(std::string_view field, std::string_view property,
                      std::string (*table)(std::int16_t)) {
    step(field, [&] { return table(code16(read(property))); });
}

void FieldSteps::quotientSuffix(std::string_view field, std::string_view property, double divisor,
                                std::string_view suffix) {
    step(field, [&] {
        const auto value = quotient(read(property), divisor);
        return (value ? realText(*value, m_context.format) : std::string()) + std::string(suffix);
    });
}

void FieldSteps::quotientMask(std::string_view field, std::string_view property, double divisor,
                              std::string_view mask, std::string_view suffix) {
    step(field, [&] {
        return formatMask(quotient(read(property), divisor), mask, m_context.format) +
               std::string(suffix);
    });
}

}  // namespace tolvex
