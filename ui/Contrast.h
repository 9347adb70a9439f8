#pragma once

// Text contrast as the web content accessibility guidelines measure it, and
// the adjustment that keeps the screens' fixed text colours readable on any
// background. Standard library only: both front ends use it.
namespace tolvex::ui {

struct Rgb {
    int r = 0;  // 0 to 255
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The contrast the guidelines ask of ordinary text.
inline constexpr double kMinimumTextContrast = 4.5;

// Relative luminance, 0 (black) to 1 (white), of an sRGB colour.
double relativeLuminance(Rgb colour);

// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on
// white; the order of the two colours does not matter.
double contrastRatio(Rgb a, Rgb b);

// `text` itself when it reaches `minimum` against `background`; otherwise the
// same hue and saturation with its lightness moved just far enough to reach
// it: lighter on a background nearer black, darker on one nearer white.
// Black or white reach 4.5:1 on every background, so the answer always
// does (for any minimum up to 4.58).
Rgb readableOn(Rgb text, Rgb background, double minimum = kMinimumTextContrast);

// The colour a front end paints a fixed text colour in: as designed on a
// light background (the screens were drawn for one, and look there as they
// always have), elsewhere readableOn() with `minimum`. A background is light
// when its relative luminance is at least 0.5 (#bcbcbc and lighter).
Rgb fixedTextColourOn(Rgb designed, Rgb background, double minimum = kMinimumTextContrast);

}  // namespace tolvex::ui
