#pragma once

#include <string>
#include <string_view>

#include "sections/MainState.h"
#include "wmi/Failure.h"

namespace tolvex {

inline constexpr const char* kDetectionErrorTitle = "Detection Error";

// The two failure policies trap only what the management layer reports as a
// failure (tolvex::Failure: a failed call, a Null or overflowing value, a
// missing instance). The sockets layer reports through return codes and
// never throws. Anything else (a bad_variant_access, an invalid_argument
// from a mistyped mask) is a bug and goes on up.

// SkipOnFailure: one step. A failure abandons the rest of the step silently;
// the field the step would have set keeps its text.
template <class Step>
void skipOnFailure(Step&& step) {
    try {
        step();
    } catch (const Failure&) {
    }
}

// ReportAndStop: the first failure ends the work and shows the "Detection
// Error" box with the section's sentence immediately followed by the
// failure's description.
template <class Work>
void reportAndStop(Screen& screen, std::string_view failureText, Work&& work) {
    std::string description;
    try {
        work();
        return;
    } catch (const Failure& failure) {
        description = failure.description();
    }
    screen.messageBox(std::string(failureText) + description, kDetectionErrorTitle,
                      kStyleInformation);
}

// The parameters of the detection of a section with a selector.
struct SelectorDetection {
    std::string_view className;
    std::string_view selector;      // a drop-down, or the list view lvDrives
    std::string_view itemProperty;  // the property that gives an item's text
    std::string_view countLabel;    // empty: the section shows no count
    std::string_view countText;
    std::string_view failureText;  // empty: SkipOnFailure, else ReportAndStop
};

// Enumerates the class, writes the count line, lists one selector item per
// instance with a non-empty path, keeps the set and the paths, and selects
// item 0 (which raises the selector's click handler).
void detectSelectorSection(SectionContext& context, SelectorSection& section,
                           const SelectorDetection& detection);

// Stores an instance's path in the slot of its item: element 0 takes the
// first path in place of the initial empty element; every further path is
// appended, so item k and element k stay together.
void storePath(SelectorSection& section, const std::string& path);

// The instance of the section's set whose path is stored at position
// `position`. Throws Failure when there is none.
ObjectPtr fetchInstance(const SelectorSection& section, int position);

// The instance that the selector's current item stands for.
ObjectPtr fetchSelected(SectionContext& context, const SelectorSection& section,
                        std::string_view selector);

// Enumerates a class through the connected service; an unset service is a
// failure.
ObjectSetPtr enumerateClass(const MainState& state, std::string_view className);

}  // namespace tolvex
