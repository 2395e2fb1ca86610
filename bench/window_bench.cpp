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

// The Linux kernel services with one drive: `device` is drive 0, and there is no other.
class OneDrive : public KernelServices {
  public:
    explicit OneDrive(std::string device) : m_device(std::move(device)) {}

    Handle Open(const std::string& path, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                std::uint32_t flags) override {
        return m_ks.Open(path, access, share, disposition, flags);
    }
    bool Close(Handle h) override { return m_ks.Close(h); }
    std::uint32_t LastError() override { return m_ks.LastError(); }
    bool Control(Handle h, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                 std::uint32_t outSize, std::uint32_t* returned) override {
        return m_ks.Control(h, code, in, inSize, out, outSize, returned);
    }
    bool Seek(Handle h, std::int64_t offset, std::int64_t* position) override {
        return m_ks.Seek(h, offset, position);
    }
    bool Write(Handle h, const void* buffer, std::uint32_t size, std::uint32_t* written) override {
        return m_ks.Write(h, buffer, size, written);
    }
    bool Flush(Handle h) override { return m_ks.Flush(h); }
    std::uint32_t OpenWriteQueue(Handle h, std::uint32_t depth) override {
        return m_ks.OpenWriteQueue(h, depth);
    }
    bool WriteAt(Handle h, const void* buffer, std::uint32_t size, std::int64_t offset,
                 std::uint64_t tag) override {
        return m_ks.WriteAt(h, buffer, size, offset, tag);
    }
    bool WaitWrite(Handle h, WriteCompletion* done) override { return m_ks.WaitWrite(h, done); }
    void CloseWriteQueue(Handle h) override { m_ks.CloseWriteQueue(h); }
    std::string ErrorText(std::uint32_t code) override { return m_ks.ErrorText(code); }
    std::string DrivePath(unsigned n) override { return n == 0 ? m_device : std::string(); }
    bool Counter(std::int64_t* value) override { return m_ks.Counter(value); }
    bool Frequency(std::int64_t* value) override { return m_ks.Frequency(value); }
    std::uint32_t StartTimer(std::uint32_t periodMs, TimerProc proc, void* user) override {
        return m_ks.StartTimer(periodMs, proc, user);
    }
    bool StopTimer(std::uint32_t id) override { return m_ks.StopTimer(id); }
    void Sleep(std::uint32_t ms) override { m_ks.Sleep(ms); }
    int PlatformId() override { return m_ks.PlatformId(); }
    std::string SetupLibraryName() override { return m_ks.SetupLibraryName(); }
    const std::vector<std::string>& SetupLibrarySlots() override { return m_ks.SetupLibrarySlots(); }
    void* LoadLib(const std::string& name) override { return m_ks.LoadLib(name); }
    void* FindSymbol(void* module, const std::string& name) override { return m_ks.FindSymbol(module, name); }
    bool FreeLib(void* module) override { return m_ks.FreeLib(module); }
    bool OpenWebAddress(const std::string&) override { return false; }

  private:
    lnx::LinuxKernelServices m_ks;
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
