#include "ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace tolvex::ui {

namespace {

double linear(int channel) {
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

struct Hsl {
    double h;  // 0 to 6: the sextant of the colour wheel
    double s;
    double l;
};

Hsl toHsl(Rgb c) {
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double high = std::max({r, g, b}), low = std::min({r, g, b});
    const double l = (high + low) / 2;
    const double chroma = high - low;
    if (chroma <= 0) {
        return {0, 0, l};
    }
    const double s = chroma / (1 - std::abs(2 * l - 1));
    double h = 0;
    if (high == r) {
        h = std::fmod((g - b) / chroma + 6, 6);
    } else if (high == g) {
        h = (b - r) / chroma + 2;
    } else {
        h = (r - g) / chroma + 4;
    }
    return {h, s, l};
}

Rgb toRgb(Hsl c) {
    const double chroma = (1 - std::abs(2 * c.l - 1)) * c.s;
    const double x = chroma * (1 - std::abs(std::fmod(c.h, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(c.h) % 6) {
        case 0:
            r = chroma, g = x;
            break;
        case 1:
            r = x, g = chroma;
            break;
        case 2:
            g = chroma, b = x;
            break;
        case 3:
            g = x, b = chroma;
            break;
        case 4:
            r = x, b = chroma;
            break;
        default:
            r = chroma, b = x;
            break;
    }
    const double m = c.l - chroma / 2;
    const auto channel = [m](double v) {
        return std::clamp(static_cast<int>(std::lround((v + m) * 255)), 0, 255);
    };
    return {channel(r), channel(g), channel(b)};
}

}  // namespace

double relativeLuminance(Rgb c) {
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double contrastRatio(Rgb a, Rgb b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb readableOn(Rgb text, Rgb background, double minimum) {
    if (contrastRatio(text, background) >= minimum) {
        return text;
    }
    // Towards whichever end, white or black, stands further from the
    // background. Luminance grows with lightness, so the lightness that just
    // reaches the minimum is found by bisection between the colour's own and
    // that end; the answer is checked as the whole numbers it is painted in.
    const Hsl hsl = toHsl(text);
    const bool lighten =
        contrastRatio({255, 255, 255}, background) >= contrastRatio({0, 0, 0}, background);
    const auto reaches = [&](double l) {
        return contrastRatio(toRgb({hsl.h, hsl.s, l}), background) >= minimum;
    };
    double enough = lighten ? 1.0 : 0.0;
    double short_ = hsl.l;
    for (int step = 0; step < 40; ++step) {
        const double middle = (enough + short_) / 2;
        (reaches(middle) ? enough : short_) = middle;
    }
    return toRgb({hsl.h, hsl.s, enough});
}

Rgb fixedTextColourOn(Rgb designed, Rgb background, double minimum) {
    if (relativeLuminance(background) >= 0.5) {
        return designed;
    }
    return readableOn(designed, background, minimum);
}

}  // namespace tolvex::ui
