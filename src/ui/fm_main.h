// The main window: the chosen drive's name, the three pages, the status bar and the copyright
// label. It draws and forwards its events to MainWindow, which holds what the window does.
#pragma once

#include <QWidget>
#include <memory>

#include "shell/main_window.h"
#include "ui/design_scale.h"
#include "ui/qt_sinks.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace orm::ui {

class ClickLabel;
class InputGate;
class TFmChoose;

class TFmMain : public QWidget, public MainView {
    Q_OBJECT
  public:
    explicit TFmMain(ShellServices services, QWidget* parent = nullptr);
    ~TFmMain() override;

    // main runs it before show(), so the window becomes visible only once a drive is open.
    ShowResult FormShow(TFmChoose& chooser);

    void SetControlsEnabled(bool enabled) override;
    void PlaceLogo() override;
    void SetTitles(const std::string& title) override;
    void SetCopyright(const std::string& line) override;
    void SetDiskName(const std::string& text) override;
    void SetStatusPanel1(const std::string& text) override;
    LineSink& WipeLog() override { return *m_wipeLog; }
    LineSink& DetailsLog() override { return *m_detailsLog; }
    LineSink& SmartLog() override { return *m_smartLog; }
    ProgressSink& Progress() override { return *m_progress; }
    MessagePump& Pump() override { return *m_pump; }
    void ShowPage(int index) override;
    void CentreOnScreen() override;
    void OpenMakerPage() override;
    void Close() override { close(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void lbCopyrightMouseDown(Qt::MouseButton button);
    void lbCopyrightMouseUp(Qt::MouseButton button);

    KernelServices& m_ks;
    MainWindow m_main;
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
