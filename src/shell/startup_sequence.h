// The start-up sequence: environment tests, titles, the drive probe and the chooser's status,
// run before the main window becomes visible. Every failure is reported once through the
// fatal sink and ends the sequence there.
#pragma once

#include <string>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"

namespace orm {

class SetupApiBinding;

struct LogoPlace {
    int left = 0, top = 0, width = 0, height = 0;
};

// A 32 x 32 logo in a top band of the given present size: 50 pixels in from the band's right
// edge, centred vertically (integer division truncated toward zero).
LogoPlace PlaceLogoInBand(int bandWidth, int bandHeight);

// The warning lines the wipe log starts with.
inline constexpr const char* kWarningLine = " * * * * *  WARNING!!! * * * * * ";
inline constexpr const char* kEraseWarningLine =
    "DURING THE WIPE PROCESS ALL DATA WILL BE FULLY and IRREVERSIBLY ERASED! ";

inline constexpr const char* kDisksFoundText = "Disks found: ";

// What start-up does to the two windows.
class StartupView {
  public:
    virtual ~StartupView() = default;
    virtual void PlaceLogos() = 0;
    // Main window caption, application title, status panel 0.
    virtual void SetTitles(const std::string& title) = 0;
    virtual void SetCopyrightLines(const std::string& chooserLine, const std::string& mainLine) = 0;
    virtual void SetChooserStatus(const std::string& text) = 0;
};

// Start-up's window steps over a front end's two windows, which both offer PlaceLogo,
// SetCopyright and (the main window) SetTitles, (the chooser) SetStatusText.
template <class Main, class Chooser>
class StartupWindows : public StartupView {
  public:
    StartupWindows(Main& main, Chooser& chooser) : m_main(main), m_chooser(chooser) {}
    void PlaceLogos() override {
        m_chooser.PlaceLogo();
        m_main.PlaceLogo();
    }
    void SetTitles(const std::string& title) override { m_main.SetTitles(title); }
    void SetCopyrightLines(const std::string& chooserLine, const std::string& mainLine) override {
        m_chooser.SetCopyright(chooserLine);
        m_main.SetCopyright(mainLine);
    }
    void SetChooserStatus(const std::string& text) override { m_chooser.SetStatusText(text); }

  private:
    Main& m_main;
    Chooser& m_chooser;
};

struct StartupContext {
    KernelServices& ks;
    RunState& state;
    StartupView& view;
    LineSink& wipeLog;
    Regional& regional;
    FatalSink& fatal;
    SetupApiBinding& setup;  // stays bound for the whole run
};

// Fixed pauses and tries of the sequence.
inline constexpr std::uint32_t kPauseBeforeFrequencyMs = 50;
inline constexpr std::uint32_t kPauseBeforeSelfTestMs = 100;
inline constexpr std::uint32_t kPauseAfterSelfTestMs = 50;
inline constexpr int kSelfTestTries = 3;

// True when the sequence ran to its end; false after exactly one fatal report.
bool StartupChecks(StartupContext& ctx);

}  // namespace orm
