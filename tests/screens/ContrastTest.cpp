#include <gtest/gtest.h>

#include <cmath>

#include "ui/Contrast.h"

namespace tolvex::ui {
namespace {

constexpr Rgb kValue{0, 0, 192}, kCount{0, 128, 0}, kFrameCaption{128, 0, 128}, kNote{192, 0, 0};

// The hue angle in degrees, by the colour-opponent formula (independent of
// the HSL arithmetic under test).
double hue(Rgb c) {
    return std::atan2(std::sqrt(3.0) * (c.g - c.b), 2.0 * c.r - c.g - c.b) * 180 / M_PI;
}

TEST(Contrast, RatiosOfKnownPairs) {
    const struct {
        Rgb a, b;
        double ratio;
    } cases[] = {
        {{0, 0, 0}, {255, 255, 255}, 21.0},
        {{255, 255, 255}, {0, 0, 0}, 21.0},
        {{119, 119, 119}, {119, 119, 119}, 1.0},
        {{118, 118, 118}, {255, 255, 255}, 4.54},  // the usual "just passes" grey
        {kValue, {0x2b, 0x2b, 0x2b}, 1.19},        // blue values on a dark theme
        {kCount, {239, 239, 239}, 4.47},
        {kValue, {239, 239, 239}, 10.37},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(contrastRatio(c.a, c.b), c.ratio, 0.01)
            << c.a.r << "," << c.a.g << "," << c.a.b;
    }
}

TEST(Contrast, ReadableOnReachesTheMinimumJustWithTheSameHue) {
    const Rgb backgrounds[] = {{0x2b, 0x2b, 0x2b}, {0x1e, 0x1e, 0x1e}, {0, 0, 0},
                               {0x60, 0x60, 0x60}, {0x80, 0x80, 0x80}, {0x31, 0x36, 0x3b},
                               {239, 239, 239},    {255, 255, 255},    {0, 0, 128}};
    for (const Rgb text : {kValue, kCount, kFrameCaption, kNote}) {
        for (const Rgb background : backgrounds) {
            SCOPED_TRACE(testing::Message()
                         << "text " << text.r << "," << text.g << "," << text.b << " on "
                         << background.r << "," << background.g << "," << background.b);
            const Rgb shown = readableOn(text, background);
            const double ratio = contrastRatio(shown, background);
            EXPECT_GE(ratio, kMinimumTextContrast);
            if (contrastRatio(text, background) >= kMinimumTextContrast) {
                EXPECT_EQ(shown, text);
                continue;
            }
            // Moved no further than needed, and still the same colour.
            EXPECT_LT(ratio, kMinimumTextContrast + 0.25);
            EXPECT_NEAR(hue(shown), hue(text), 2.0);
        }
    }
}

TEST(Contrast, DesignedColoursStayOnLightBackgroundsAndLightenOnDarkOnes) {
    // The count green is 4.47:1 on the usual light window colour: the light
    // screens keep it as designed.
    EXPECT_EQ(fixedTextColourOn(kCount, {239, 239, 239}), kCount);
    EXPECT_EQ(fixedTextColourOn(kNote, {255, 255, 255}), kNote);
    const Rgb dark{0x2b, 0x2b, 0x2b};
    const Rgb value = fixedTextColourOn(kValue, dark);
    EXPECT_GE(contrastRatio(value, dark), kMinimumTextContrast);
    EXPECT_GT(relativeLuminance(value), relativeLuminance(kValue));
}

}  // namespace
}  // namespace tolvex::ui
