// ormandel-screenshots: the demo with a scripted operator, for the pictures in the README.
// Run under an X server (scripts/screenshots.sh starts a virtual one); each picture is taken
// with ImageMagick's `import` from the screen, cropped to the window shown.
// Arguments: the folder for the pictures, optionally the drive description.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "ui/qt_demo_platform.h"
#include "ui/demo_storage.h"
#include "ui/fm_choose.h"
#include "ui/fm_main.h"
#include "ui/fonts.h"
#include "ui/program.h"

namespace {

// Pause before each picture, so that the window has been drawn.
constexpr int kSettleMs = 700;

bool g_failed = false;

void Snap(QWidget& window, const QString& file) {
    QApplication::processEvents();
    const QRect r = window.frameGeometry();
    const QString crop = QString("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    const int rc = QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", file});
    std::printf("ormandel-screenshots: %s %s\n", qPrintable(file), rc == 0 ? "written" : "FAILED");
    if (rc != 0) g_failed = true;
}

void Later(int ms, QObject* context, std::function<void()> step) {
    QTimer::singleShot(ms, context, std::move(step));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orm::ui::InstallFonts();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: ormandel-screenshots <folder> [drives.json]\n");
        return 2;
    }
    const QString folder = args.at(1);
    orm::ui::DemoStorage storage;
    orm::ui::DemoPlatform platform;
    std::string error;
    if (!orm::sim::LoadDrivesFromJson(platform, orm::ui::FromQt(orm::ui::DemoDrivesPath(args.mid(1))),
                                      orm::ui::FromQt(storage.Path()), &error)) {
        std::fprintf(stderr, "ormandel-screenshots: %s\n", error.c_str());
        return 1;
    }

    // The chooser: its picture, then Continue on the preselected row.
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [poll, folder] {
        auto* chooser = qobject_cast<orm::ui::TFmChoose*>(QApplication::activeModalWidget());
        if (chooser == nullptr || !chooser->isVisible()) return;
        poll->stop();
        Later(kSettleMs, chooser, [chooser, folder] {
            Snap(*chooser, folder + "/chooser.png");
            chooser->findChild<QPushButton*>("btContinue")->click();
        });
    });
    poll->start(50);

    // The main window: the details page, the SMART page after a read, the WIPE page after a wipe.
    const int code = orm::ui::RunProgram(app, platform, &orm::ui::ExitNow, [folder](orm::ui::TFmMain& main) {
        auto* pages = main.findChild<QTabWidget*>("pages");
        Later(kSettleMs, &main, [&main, pages, folder] {
            Snap(main, folder + "/main-details.png");
            pages->setCurrentIndex(2);
            main.findChild<QPushButton*>("btGetSmart")->click();
            Later(kSettleMs, &main, [&main, pages, folder] {
                Snap(main, folder + "/main-smart.png");
                pages->setCurrentIndex(1);
                // A whole wipe of the demo disk: Yes to the confirmation, OK to the closing box.
                auto* answer = new QTimer(&main);
                QObject::connect(answer, &QTimer::timeout, [] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    if (box == nullptr || !box->isVisible()) return;
                    if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                        yes->click();
                    } else {
                        box->accept();
                    }
                });
                answer->start(200);
                main.findChild<QPushButton*>("btRunBenchmarks")->click();
                answer->stop();
                Later(kSettleMs, &main, [&main, folder] {
                    Snap(main, folder + "/main-wipe.png");
                    main.close();
                });
            });
        });
    });
    return g_failed ? 1 : code;
}
