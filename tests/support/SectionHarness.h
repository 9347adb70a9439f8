#pragma once

#include <memory>

#include "sections/Detectors.h"
#include "sections/MainState.h"
#include "tests/support/InMemoryService.h"
#include "tests/support/RecordingScreen.h"

namespace tolvex::testing {

// The pieces a detector runs on in tests: an in-memory service connected as
// the main window's ManagementService, a recording screen with the selector
// handlers connected, and a number format (English unless a test changes it).
struct SectionHarness {
    std::shared_ptr<InMemoryService> service = std::make_shared<InMemoryService>();
    RecordingScreen screen;
    MainState state;
    NumberFormat format = NumberFormat::point();
    SectionContext context{screen, state, format};

    SectionHarness() {
        state.ManagementService = service;
        connectSelectorHandlers(context);
    }
    void disconnect() { state.ManagementService.reset(); }
};

inline ManagementValue text(const char* value) {
    return ManagementValue::text(value);
}
inline ManagementValue integer(std::int64_t value) {
    return ManagementValue::integer(value);
}
inline ManagementValue null() {
    return ManagementValue::null();
}

}  // namespace tolvex::testing
