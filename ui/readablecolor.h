// SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

// WCAG contrast ratio of two colours, from 1 (same luminance) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);

// The given colour where it stands out against the background by at least minimumContrast;
// otherwise the nearest lighter (or darker) shade of it that does.
QColor readableOn(const QColor &colour, const QColor &background, double minimumContrast = 4.5);
