// The windows are laid out in pixels at 120 pixels per inch; every size goes through the
// scale of the screen the program starts on.
#pragma once

#include <cmath>

namespace orm::ui {

inline constexpr double kDesignDpi = 120.0;

class DesignScale {
  public:
    explicit DesignScale(double screenDpi) : m_factor(screenDpi > 0 ? screenDpi / kDesignDpi : 1.0) {}
    int operator()(int designPixels) const { return static_cast<int>(std::lround(designPixels * m_factor)); }
    double Factor() const { return m_factor; }

  private:
    double m_factor;
};

// The scale of the primary screen (QGuiApplication must exist).
DesignScale ScreenScale();

}  // namespace orm::ui
