#include "shell/main_window.h"

#include "reports/report_context.h"
#include "reports/smart_report.h"
#include "shell/startup_sequence.h"
#include "wipe/wipe_command.h"

namespace orm {

void MainWindow::FormCreate() {
    m_view.ShowPage(0);
}

ShowResult MainWindow::FormShow(ChooserView& chooser) {
    StartupWindows<MainView, ChooserView> windows(m_view, chooser);
    StartupContext startup{m_services.ks,       m_services.state, windows,         m_view.WipeLog(),
                           m_services.regional, m_services.fatal, m_services.setup};
    if (!StartupChecks(startup)) return ShowResult::Fatal;
    if (!chooser.ChooseDevice()) return ShowResult::NothingChosen;
    if (!OpenChosenDevice(m_services.ks, m_services.state, m_view, m_view.DetailsLog(), m_services.regional,
                          m_services.fatal)) {
        return ShowResult::Fatal;
    }
    m_view.CentreOnScreen();
    return ShowResult::Opened;
}

template <class Command>
void MainWindow::RunCommand(Command command) {
    // One command at a time: a click that a wipe's pump dispatches finds the busy state set, but a
    // face need not rely on its toolkit to drop it.
    if (m_running) return;
    m_running = true;
    command();
    m_running = false;
    if (m_closeRequested) m_view.Close();
}

void MainWindow::btRunBenchmarksClick() {
    RunCommand([this] {
        WipeContext ctx{m_services.ks,     m_services.state, m_services.regional, m_view.WipeLog(),
                        m_view.Progress(), m_view.Pump(),    m_services.boxes,    m_view};
        RunWipeCommand(ctx, m_services.sleep);
    });
}

void MainWindow::btGetSmartClick() {
    RunCommand([this] {
        ReportContext ctx{m_services.ks, m_services.state, m_services.regional, m_view.SmartLog()};
        RunSmartCommand(ctx, m_view);
    });
}

bool MainWindow::FormClose() {
    CloseDevice(m_services.ks, m_services.state);
    if (!m_running) return true;
    m_closeRequested = true;
    return false;
}

}  // namespace orm
