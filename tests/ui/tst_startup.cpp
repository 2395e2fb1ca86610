// The start-up road through the windows: a run that opens a drive, each fatal failure (one
// box, the process ended with a non-zero code, nothing after it), the open failures, no drives,
// and the fatal-error box itself.
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "ui_test_support.h"

using namespace orm;

using Setup = std::function<void(uitest::Harness&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

struct Run {
    uitest::Harness h;
    bool chooserShown = false;
    QString chooserStatus;
    bool continueEnabled = false;
    ShowResult result = ShowResult::Fatal;

    // FormShow with the chooser answered: Continue on the preselected row unless told otherwise,
    // after `beforeContinue` (the probe is over by then).
    void Start(bool pressContinue = true, Setup beforeContinue = {}) {
        uitest::ModalWait wait([this, pressContinue, beforeContinue](QDialog& d) {
            chooserShown = qobject_cast<ui::TFmChoose*>(&d) != nullptr;
            if (chooserShown) {
                if (beforeContinue) beforeContinue(h);
                chooserStatus = d.findChild<QLabel*>("SimpleText")->text();
                continueEnabled = d.findChild<QPushButton*>("btContinue")->isEnabled();
                if (pressContinue && continueEnabled) {
                    d.findChild<QPushButton*>("btContinue")->click();
                    return;
                }
            }
            d.close();
        });
        result = h.main->FormShow(*h.chooser);
    }
    QString memo(const char* name) { return h.main->findChild<QPlainTextEdit*>(name)->toPlainText(); }
    bool OpenedForWriting() const {
        for (const auto& e : h.sim.Calls(sim::Call::Open)) {
            if (e.access == 0xC0000000u) return true;
        }
        return false;
    }
};

void TwoDrives(uitest::Harness& h) {
    uitest::AddAtaDrive(h.sim, 0, 156301488, "FIRST DISK");
    uitest::AddAtaDrive(h.sim, 1, 1000000, "SECOND DISK");
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void OpensTheChosenDriveBeforeTheWindowShows();
    void EachFailureShowsOneBoxAndEnds_data();
    void EachFailureShowsOneBoxAndEnds();
    void OpenFailures_data();
    void OpenFailures();
    void NoDrivesThenClosingTheChooserEndsNormally();
    void FatalBoxThenExitWithNonZeroCode();
};

void StartupTest::OpensTheChosenDriveBeforeTheWindowShows() {
    Run r;
    TwoDrives(r.h);
    r.Start();
    QVERIFY(r.result == ShowResult::Opened);
    QVERIFY(r.h.boxes.shown.empty());
    QVERIFY(r.h.exitCodes.empty());
    QVERIFY(r.chooserShown);
    QCOMPARE(r.chooserStatus, QString("Disks found: 2"));
    QVERIFY(!r.h.main->isVisible());  // main shows it once FormShow has returned
    QCOMPARE(r.h.main->findChild<QLabel*>("lbDiskName")->text(),
             QString("SECOND DISK    3.06    [512 Mbytes]"));
    QCOMPARE(r.h.state.ChosenIndex, 2);  // what the opened window shows: tst_fm_main's behaviour table
    QVERIFY(r.OpenedForWriting());
    r.h.main->close();
    QCOMPARE(r.h.state.DeviceHandle, kNoHandle);
}

void StartupTest::EachFailureShowsOneBoxAndEnds_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("frequencyRead");
    QTest::newRow("other platform family") << Setup([](uitest::Harness& h) { h.sim.SetPlatformId(1); })
                                           << "Only Windows 2000SP4/2003/XP supported"
                                           << "Error" << false;
    QTest::newRow("frequency query fails")
        << Setup([](uitest::Harness& h) { h.sim.FailFrequency(); }) << "Timer error"
        << "Timer" << true;
    QTest::newRow("frequency 999,999")
        << Setup([](uitest::Harness& h) { h.sim.SetTicksPerSecond(999'999); }) << "Unknown error."
        << "Timer" << true;
    QTest::newRow("frequency 4,000,000,001")
        << Setup([](uitest::Harness& h) { h.sim.SetTicksPerSecond(4'000'000'001); }) << "Unknown error."
        << "Timer" << true;
    QTest::newRow("2 ms timer, three tries")
        << Setup([](uitest::Harness& h) { h.sim.SetPeriods({2000}); }) << "Unknown error."
        << "Timer" << true;
    QTest::newRow("counter reads 0") << Setup([](uitest::Harness& h) { h.sim.FailRead(1, 0); })
                                     << "Timer error"
                                     << "Timer" << true;
    QTest::newRow("setup library does not load")
        << Setup([](uitest::Harness& h) { h.sim.FailSetupLoad(); }) << "Error #01704"
        << "Error" << true;
    QTest::newRow("storage query fails in the probe") << Setup([](uitest::Harness& h) {
        h.sim.Drive(0).faults.controlFails[{0x7405C, {}}] = 5;
    }) << "Error accessing device: Access is denied"
                                                      << "Error" << true;
}

void StartupTest::EachFailureShowsOneBoxAndEnds() {
    QFETCH(Setup, setup);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QFETCH(bool, frequencyRead);
    Run r;
    TwoDrives(r.h);
    setup(r.h);
    r.Start();
    QVERIFY(r.result == ShowResult::Fatal);
    QCOMPARE(r.h.boxes.shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(r.h.boxes.shown[0].text), text);
    QCOMPARE(QString::fromStdString(r.h.boxes.shown[0].caption), caption);
    QVERIFY(r.h.boxes.shown[0].icon == BoxIcon::Error);
    QCOMPARE(r.h.exitCodes, std::vector<int>{ui::kFatalExitCode});
    QVERIFY(!r.chooserShown);
    QVERIFY(!r.h.main->isVisible());
    QVERIFY(!r.OpenedForWriting());
    QVERIFY(r.memo("Log_BenchMark").isEmpty());
    QVERIFY(uitest::StatusPanelText(*r.h.main, 1).isEmpty());
    QCOMPARE(!r.h.sim.Calls(sim::Call::Frequency).empty(), frequencyRead);
    QCOMPARE(r.h.sim.RunningTimers(), 0);
}

void StartupTest::OpenFailures_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("text");
    QTest::newRow("invalid handle") << Setup([](uitest::Harness& h) { h.sim.Drive(1).faults.openError = 5; })
                                    << "Error opening device: Access is denied";
    QTest::newRow("valid handle, last error set")
        << Setup([](uitest::Harness& h) { h.sim.Drive(1).faults.openLastError = 87; })
        << "Error opening device: The parameter is incorrect";
}

void StartupTest::OpenFailures() {
    QFETCH(Setup, setup);
    QFETCH(QString, text);
    Run r;
    TwoDrives(r.h);
    r.Start(true, setup);  // the drive fails only when it is opened for writing
    QVERIFY(r.result == ShowResult::Fatal);
    QVERIFY(r.chooserShown);
    QCOMPARE(r.h.boxes.shown.size(), size_t(1));
    QCOMPARE(QString::fromStdString(r.h.boxes.shown[0].text), text);
    QCOMPARE(QString::fromStdString(r.h.boxes.shown[0].caption), QString("Error"));
    QCOMPARE(r.h.exitCodes, std::vector<int>{ui::kFatalExitCode});
    QVERIFY(uitest::StatusPanelText(*r.h.main, 1).isEmpty());
    QCOMPARE(uitest::StatusPanelText(*r.h.main, 0), QString("Ormandel 2.20 build 1098"));
    QVERIFY(uitest::StatusPanelText(*r.h.main, 2).isEmpty());
    QVERIFY(r.memo("Log_Details").isEmpty());
    QVERIFY(!r.h.main->isVisible());
    QCOMPARE(r.h.state.DeviceHandle, kNoHandle);
}

void StartupTest::NoDrivesThenClosingTheChooserEndsNormally() {
    Run r;
    r.Start();
    QVERIFY(r.result == ShowResult::NothingChosen);
    QVERIFY(r.chooserShown);
    QCOMPARE(r.chooserStatus, QString("Disks found: 0"));
    QVERIFY(!r.continueEnabled);
    QVERIFY(r.h.boxes.shown.empty());
    QVERIFY(r.h.exitCodes.empty());
    QCOMPARE(r.memo("Log_BenchMark").split('\n').size(), 2);
    QVERIFY(r.memo("Log_Details").isEmpty());
    QVERIFY(!r.OpenedForWriting());
}

void StartupTest::FatalBoxThenExitWithNonZeroCode() {
    ui::QtMessageBoxes boxes;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool boxGoneAtExit = false;
    std::vector<int> codes;
    ui::QtFatalSink fatal(boxes, [&](int code) {
        boxGoneAtExit = QApplication::activeModalWidget() == nullptr;
        codes.push_back(code);
    });
    uitest::ModalWait wait([&](QDialog& d) {
        auto* box = qobject_cast<QMessageBox*>(&d);
        QVERIFY(box != nullptr);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    fatal.Fatal("Timer error", "Timer");
    QCOMPARE(text, QString("Timer error"));
    QCOMPARE(title, QString("Timer"));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(codes, std::vector<int>{1});
    QVERIFY(boxGoneAtExit);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
