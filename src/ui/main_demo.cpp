// ormandel-demo: the same program on simulated drives described by a JSON file, so it can be
// tried without root and without touching a real drive. Optional argument: the JSON file.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>

#include "ui/qt_demo_platform.h"
#include "ui/demo_storage.h"
#include "ui/fonts.h"
#include "ui/program.h"
#include "ui/qt_sinks.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orm::ui::InstallFonts();

    orm::ui::DemoStorage storage;
    storage.RemoveOnSignals();
    const QString drives = orm::ui::DemoDrivesPath(QCoreApplication::arguments());
    orm::ui::DemoPlatform sim;
    std::string error = "cannot create a temporary folder";
    if (!storage.IsValid() || !orm::sim::LoadDrivesFromJson(sim, orm::ui::FromQt(drives),
                                                            orm::ui::FromQt(storage.Path()), &error)) {
        const QString text = "Cannot load the demo drives from " + drives + ": " + orm::ui::ToQt(error);
        std::fprintf(stderr, "ormandel-demo: %s\n", qPrintable(text));
        QMessageBox::critical(nullptr, "Ormandel demo", text);
        return 1;
    }
    return orm::ui::RunProgram(app, sim, [&storage](int exitCode) {
        storage.Remove();
        orm::ui::ExitNow(exitCode);
    });
}
