// The main window: the chosen drive's name, the three pages, the status bar and the copyright
// label; the start-up sequence runs from FormShow before the window is first shown.
#pragma once

#include <QWidget>
#include <memory>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"
#include "shell/open_device.h"
#include "ui/design_scale.h"
#include "ui/qt_sinks.h"
#include "wipe/sleep_block.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace orm {
class SetupApiBinding;
}

namespace orm::ui {

class ClickLabel;
class InputGate;
class TFmChoose;

// What the main window works with; main owns all of it for the whole run.
struct ShellServices {
    KernelServices& ks;
    RunState& state;
    Regional& regional;
    MessageBoxes& boxes;
    FatalSink& fatal;
    SetupApiBinding& setup;
    SleepBlocker& sleep;  // held from the Yes to a wipe until its closing box
};

enum class ShowResult {
    Opened,         // a drive is open and its details written: show the window
    NothingChosen,  // the chooser was closed without a choice: end normally
    Fatal,          // a fatal error was reported (only seen where the fatal sink returns)
};

class TFmMain : public QWidget, public OpenDeviceView, public BusySink {
    Q_OBJECT
  public:
    explicit TFmMain(ShellServices services, QWidget* parent = nullptr);
    ~TFmMain() override;

    // The start-up sequence, the chooser and the opening of the chosen drive, in this order.
    // main runs it before show(), so the window becomes visible only once a drive is open.
    ShowResult FormShow(TFmChoose& chooser);

    void SetControlsEnabled(bool enabled) override;

    // Start-up's part of the window.
    void PlaceLogo();
    void SetTitles(const std::string& title);
    void SetCopyright(const std::string& line);

    void SetDiskName(const std::string& text) override;
    void SetStatusPanel1(const std::string& text) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormCreate();
    void btRunBenchmarksClick();
    void btGetSmartClick();
    void lbCopyrightMouseDown(Qt::MouseButton button);
    void lbCopyrightMouseUp(Qt::MouseButton button);
    void OpenMakerPage();

    ShellServices m_services;
    DesignScale m_scale;

    QWidget* Panel2 = nullptr;
    QLabel* lbDiskName = nullptr;
    ClickLabel* imgLogo = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* m_panels[3] = {};
    ClickLabel* lbCopyright = nullptr;
    QTabWidget* pages = nullptr;
    QPlainTextEdit* Log_Details = nullptr;
    QPlainTextEdit* Log_BenchMark = nullptr;
    QPlainTextEdit* Log_Smart = nullptr;
    QProgressBar* pbCurrentTask = nullptr;
    QPushButton* btRunBenchmarks = nullptr;
    QPushButton* btGetSmart = nullptr;
    InputGate* m_pageGate = nullptr;  // owned by the window

    std::unique_ptr<MemoSink> m_wipeLog;
    std::unique_ptr<MemoSink> m_detailsLog;
    std::unique_ptr<MemoSink> m_smartLog;
    std::unique_ptr<ProgressBarSink> m_progress;
    std::unique_ptr<QtMessagePump> m_pump;
};

}  // namespace orm::ui
