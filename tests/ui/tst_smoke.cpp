// The demo program end to end under the offscreen platform: the demo drives load, start-up
// runs, a drive is chosen in the chooser and the main window shows it.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "lockstep_clock.h"
#include "ui/fm_choose.h"
#include "ui/fm_main.h"
#include "ui/program.h"
#include "ui_test_support.h"

using namespace orm;

class SmokeTest : public QObject {
    Q_OBJECT
  private slots:
    void DemoShowsChooserThenMainWindowWithTheChosenDrive();
};

void SmokeTest::DemoShowsChooserThenMainWindowWithTheChosenDrive() {
    QTemporaryDir storage;
    QVERIFY(storage.isValid());
    // The demo's drives, on the lockstep clock so that a busy machine cannot fail the self-test.
    testing::LockstepClock sim;
    std::string error;
    QVERIFY2(sim::LoadDrivesFromJson(sim, ORMANDEL_DEMO_DRIVES, storage.path().toStdString(), &error),
             error.c_str());

    QString chooserTitle, chooserStatus;
    int rows = -1;
    QString unexpectedBox;
    uitest::ModalWait wait([&](QDialog& chooser) {
        if (qobject_cast<ui::TFmChoose*>(&chooser) == nullptr) {
            unexpectedBox =
                chooser.windowTitle() + ": " + chooser.findChild<QLabel*>("qt_msgbox_label")->text();
            chooser.reject();
            return;
        }
        chooserTitle = chooser.windowTitle();
        rows = chooser.findChild<QTreeWidget*>("DriveList")->topLevelItemCount();
        chooserStatus = chooser.findChild<QLabel*>("SimpleText")->text();
        chooser.findChild<QPushButton*>("btContinue")->click();
    });

    std::vector<int> exits;
    bool visible = false;
    QString diskName, panel1, details, wipeLog;
    const int code = ui::RunProgram(
        *qApp, sim, [&exits](int c) { exits.push_back(c); },
        [&](ui::TFmMain& main) {
            QTimer::singleShot(0, &main, [&] {
                visible = main.isVisible();
                diskName = main.findChild<QLabel*>("lbDiskName")->text();
                panel1 = uitest::StatusPanelText(main, 1);
                details = main.findChild<QPlainTextEdit*>("Log_Details")->toPlainText();
                wipeLog = main.findChild<QPlainTextEdit*>("Log_BenchMark")->toPlainText();
                main.close();
            });
        });

    QVERIFY2(unexpectedBox.isEmpty(), qPrintable(unexpectedBox));
    QCOMPARE(code, 0);
    QVERIFY(exits.empty());
    QCOMPARE(chooserTitle, QString("Choose a device - Ormandel 2.20 build 1098 "));
    QCOMPARE(rows, 5);
    QCOMPARE(chooserStatus, QString("Disks found: 5"));
    QVERIFY(visible);
    // The last row is preselected: the demo's 4 GB ATA disk.
    QCOMPARE(diskName, QString("DEMODISK HD040GJ    1.06    [4294.96 Mbytes]"));
    QCOMPARE(panel1, diskName);
    QVERIFY2(details.contains("Device details for DEMODISK HD040GJ"), qPrintable(details));
    QVERIFY2(details.contains("Model: DEMODISK HD040GJ"), qPrintable(details));
    QVERIFY(wipeLog.contains("WARNING!!!"));
    // The drive was opened for reading and writing once, and closed with the window.
    int readWriteOpens = 0;
    for (const auto& e : sim.Calls(sim::Call::Open)) {
        if (e.access == 0xC0000000u) ++readWriteOpens;
    }
    QCOMPARE(readWriteOpens, 1);
    QVERIFY(!sim.Calls(sim::Call::Close).empty());
    QCOMPARE(sim.RunningTimers(), 0);
    QCOMPARE(sim.Tickers(), 0);
}

QTEST_MAIN(SmokeTest)
#include "tst_smoke.moc"
