// window_bench LOOP_DEVICE: the real program's windows on one loop device, wiped as an operator
// wipes a drive: Continue in the chooser, WIPE THIS DEVICE, Yes; then the closing box is
// dismissed and the window closed. Prints the time from the Yes to the closing box:
//
//   seconds=S
//
// against which wipe_bench's own figure (the same wipe without a window) tells what the window's
// message pump costs. The probe finds LOOP_DEVICE and nothing else, so no other drive is ever
// opened. Run as root, with QT_QPA_PLATFORM=offscreen where there is no display.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/linux/linux_kernel_services.h"
#include "ui/fm_main.h"
#include "ui/program.h"

namespace {

using namespace orm;

// The Linux kernel services with one drive: `device` is drive 0, and there is no other. No web
// page is opened from a benchmark.
class OneDrive : public lnx::LinuxKernelServices {
  public:
    explicit OneDrive(std::string device) : m_device(std::move(device)) {}
    std::string DrivePath(unsigned n) override { return n == 0 ? m_device : std::string(); }
    bool OpenWebAddress(const std::string&) override { return false; }

  private:
    std::string m_device;
};

// Answers the program's modal windows as the operator does, polling rarely so that it takes next
// to nothing from the wipe: Continue, Yes (the clock starts), then OK to the closing box (it stops).
class Operator : public QObject {
  public:
    Operator() {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Look(); });
        m_timer.start();
    }
    double Seconds() const { return std::chrono::duration<double>(m_stop - m_start).count(); }
    bool Done() const { return m_done; }
    void SetMain(QWidget* main) { m_main = main; }

  private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (modal->objectName() == "FmChoose") {
            if (auto* button = modal->findChild<QPushButton*>("btContinue")) button->click();
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) return;
        if (box->text().startsWith("ARE YOU ABSOLUTELY SURE")) {
            m_start = std::chrono::steady_clock::now();
            box->button(QMessageBox::Yes)->click();
        } else if (box->windowTitle() == "Format" || box->windowTitle() == "Wipe finished with errors") {
            m_stop = std::chrono::steady_clock::now();
            m_done = box->windowTitle() == "Format";
            box->button(QMessageBox::Ok)->click();
            if (m_main != nullptr) QTimer::singleShot(0, m_main, [this] { m_main->close(); });
        }
    }

    QTimer m_timer;
    std::chrono::steady_clock::time_point m_start, m_stop;
    bool m_done = false;
    QWidget* m_main = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).rfind("/dev/loop", 0) != 0) {
        std::fprintf(stderr, "usage: window_bench /dev/loopN\n");
        return 2;
    }
    QApplication app(argc, argv);
    OneDrive ks(argv[1]);
    Operator person;
    const int exitCode = ui::RunProgram(app, ks, &ui::ExitNow, [&person](ui::TFmMain& main) {
        person.SetMain(&main);
        QTimer::singleShot(0, &main, [&main] {
            if (auto* wipe = main.findChild<QPushButton*>("btRunBenchmarks")) wipe->click();
        });
    });
    if (!person.Done()) {
        std::fprintf(stderr, "window_bench: the wipe did not end with its Format box (exit %d)\n", exitCode);
        return 1;
    }
    std::printf("seconds=%.3f\n", person.Seconds());
    return 0;
}
