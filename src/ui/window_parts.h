// Building blocks shared by the two windows: panels with a border, the white top band, the
// raised separator line, the status bar, label colours.
#pragma once

#include <QColor>
#include <QWidget>

class QLabel;
class QStatusBar;

namespace orm::ui {

class ClickLabel;

// A fixed dialog border: no resizing, no minimise or maximise box.
inline constexpr Qt::WindowFlags kFixedDialogFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                                     Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

inline constexpr Qt::WindowFlags kFixedWindowFlags = Qt::Window | Qt::MSWindowsFixedSizeDialogHint |
                                                     Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

inline const QColor kCopyrightGray{128, 128, 128};

// A panel whose single child fills it inside a border of `border` pixels.
QWidget* BorderPanel(const char* name, int border);
// The white band across the top of a window; its children are placed by hand.
QWidget* WhiteBand(const char* name, int height);
// The 2-pixel raised line under the band.
QWidget* Separator(const char* name, int height);
// A status bar of `height` pixels without a size grip.
QStatusBar* MakeStatusBar(int height);
// The single text panel of a chooser-style status bar (created on first use).
QLabel* StatusBarText(QStatusBar* bar);
// The 32 x 32 logo with the hand cursor; start-up gives it its place.
ClickLabel* LogoLabel(QWidget* band);

void SetTextColour(QWidget* label, const QColor& colour);
QColor TextColour(const QWidget* label);

void CentreOnScreen(QWidget* window);

}  // namespace orm::ui
