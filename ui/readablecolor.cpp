// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#include "readablecolor.h"

#include <cmath>

namespace {

double relativeLuminance(const QColor &colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

QColor mix(const QColor &from, const QColor &to, double share)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * share),
                            float(from.greenF() + (to.greenF() - from.greenF()) * share),
                            float(from.blueF() + (to.blueF() - from.blueF()) * share));
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &colour, const QColor &background, double minimumContrast)
{
    if (contrastRatio(colour, background) >= minimumContrast)
        return colour.toRgb();
    // Dark backgrounds want a lighter shade, light ones a darker; try that way first.
    const bool darkBackground = relativeLuminance(background) < 0.18;
    const QColor first = darkBackground ? QColor(Qt::white) : QColor(Qt::black);
    const QColor second = darkBackground ? QColor(Qt::black) : QColor(Qt::white);
    for (const QColor &towards : {first, second}) {
        for (int step = 1; step <= 20; ++step) {
            const QColor shade = mix(colour, towards, step / 20.0);
            if (contrastRatio(shade, background) >= minimumContrast)
                return shade;
        }
    }
    return contrastRatio(first, background) >= contrastRatio(second, background) ? first : second;
}
