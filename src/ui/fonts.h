// The two typefaces of the windows: Tahoma for the windows themselves, Courier New for the
// report memos, whose columns only line up in a fixed-pitch font.
#pragma once

#include <QFont>

#include "ui/design_scale.h"

namespace orm::ui {

// Makes "Tahoma" and "Courier New" resolve to the closest fonts installed: a Tahoma-like font
// shipped with the Windows compatibility layer's fonts when present, else a sans-serif; a
// metric-compatible monospace for Courier New. Call once, after the application object exists.
void InstallFonts();

// Heights are the designed character heights in pixels at 120 pixels per inch.
QFont WindowFont(const DesignScale& scale, int designHeight, bool bold = false);
QFont MemoFont(const DesignScale& scale, int designHeight);

}  // namespace orm::ui
