#include "ui/program.h"

#include <QApplication>
#include <cstdlib>

#include "shell/setup_library.h"
#include "ui/fm_choose.h"
#include "ui/fm_main.h"
#include "ui/logind_inhibitor.h"

namespace orm::ui {

int RunProgram(QApplication& app, KernelServices& ks, ExitFunction exitProcess, MainShownHook onShown) {
    RunState state;
    QtRegional regional;
    QtMessageBoxes boxes;
    QtFatalSink fatal(boxes, std::move(exitProcess));
    SetupApiBinding setup;
    LogindInhibitor sleep;

    // Created first, the main window is the application's main window; the chooser stays
    // hidden until start-up hands over to it.
    TFmMain main(ShellServices{ks, state, regional, boxes, fatal, setup, sleep});
    TFmChoose chooser(ks, state, regional, boxes);

    switch (main.FormShow(chooser)) {
        case ShowResult::NothingChosen:
            return 0;
        case ShowResult::Fatal:
            return kFatalExitCode;
        case ShowResult::Opened:
            break;
    }
    main.show();
    if (onShown) onShown(main);
    return app.exec();
}

void ExitNow(int exitCode) {
    std::_Exit(exitCode);
}

}  // namespace orm::ui
