// The two failure policies trap the management layer's failures and nothing
// else: a program error inside a step must reach the caller (and fail the
// test that caused it) instead of reading as a failed detection.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <variant>

#include "sections/Policies.h"
#include "tests/support/RecordingScreen.h"
#include "wmi/Conversions.h"

namespace tolvex::testing {
namespace {

TEST(FailurePolicies, AFailureEndsTheStepAndReportAndStopShowsItsDescription) {
    bool after = false;
    skipOnFailure([&] {
        throw Failure("Generic failure");
        after = true;
    });
    EXPECT_FALSE(after);

    RecordingScreen screen;
    reportAndStop(screen, "Cannot detect: ", [] { throw Failure("Not found"); });
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Cannot detect: Not found");
    EXPECT_EQ(screen.boxes[0].title, "Detection Error");
}

TEST(FailurePolicies, ProgramErrorsGoThroughBothPolicies) {
    const struct {
        const char* name;
        std::function<void()> bug;
    } bugs[] = {
        {"a value read as the wrong type", [] { (void)ManagementValue::text("x").asInteger(); }},
        {"a mistyped number mask", [] { (void)formatMask(1.5, "0.000", NumberFormat::point()); }},
        {"a logic error", [] { throw std::logic_error("broken invariant"); }},
    };
    for (const auto& bug : bugs) {
        SCOPED_TRACE(bug.name);
        EXPECT_ANY_THROW(skipOnFailure(bug.bug));
        RecordingScreen screen;
        EXPECT_ANY_THROW(reportAndStop(screen, "Cannot detect: ", bug.bug));
        EXPECT_TRUE(screen.boxes.empty());
    }
    EXPECT_THROW(skipOnFailure([] { (void)ManagementValue::text("x").asInteger(); }),
                 std::bad_variant_access);
    EXPECT_THROW(skipOnFailure([] { (void)formatMask(1.5, "0.000", NumberFormat::point()); }),
                 std::invalid_argument);
}

}  // namespace
}  // namespace tolvex::testing
