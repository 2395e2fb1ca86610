// The drive chooser: preselection, Continue following the selection (mouse and keyboard), the
// refusal of small drives, the ways to close it, the row texts and the web link.
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>

#include "ui/window_parts.h"
#include "ui_test_support.h"

using namespace orm;

namespace {

void AddRecord(RunState& state, const char* model, const char* firmware, std::int64_t sectors,
               std::int64_t busType = 3, std::int64_t bytesPerSector = 512) {
    TDeviceTable& r = state.Record(++state.DrivesFound);
    r.DevicePath = "\\\\.\\PhysicalDrive" + std::to_string(state.DrivesFound - 1);
    std::memcpy(r.Model, model, std::min(std::strlen(model), sizeof r.Model));
    std::memcpy(r.Firmware, firmware, std::min(std::strlen(firmware), sizeof r.Firmware));
    std::memcpy(r.SerialNumber, "SER", 3);
    r.SectorCount = sectors;
    r.BytesPerSector = bytesPerSector;
    r.BusType = busType;
}

// The events a real double click brings: press, release, press, double click, release.
void DoubleClick(QWidget* w, QPoint pos) {
    QTest::mouseClick(w, Qt::LeftButton, {}, pos);
    QTest::mousePress(w, Qt::LeftButton, {}, pos);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(w, &dbl);
    if (w->isVisible()) QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
}

struct Chooser {
    uitest::Harness h;
    ui::TFmChoose& dialog() { return *h.chooser; }
    QTreeWidget* list() { return h.chooser->findChild<QTreeWidget*>("DriveList"); }
    QPushButton* cont() { return h.chooser->findChild<QPushButton*>("btContinue"); }
    QPoint RowCentre(int row) { return list()->visualItemRect(list()->topLevelItem(row)).center(); }
    QPoint BelowRows() { return QPoint(20, list()->viewport()->height() - 5); }
    // Runs the chooser; `act` runs inside its modal loop.
    bool Run(std::function<void()> act) {
        uitest::ModalWait wait([act](QDialog& d) {
            act();
            if (d.isVisible()) d.close();  // a test that failed to end the chooser ends it here
        });
        return h.chooser->ChooseDevice();
    }
};

}  // namespace

class FmChooseTest : public QObject {
    Q_OBJECT
  private slots:
    void LastRowPreselectedAndEnterChoosesIt();
    void FirstRowByMouseThenContinue();
    void KeyboardMovesSelectionAndContinueFollows();
    void ClickAndDoubleClickOnEmptyArea();
    void DoubleClickOnRowContinues();
    void SmallDriveRefusedAtTheBoundary_data();
    void SmallDriveRefusedAtTheBoundary();
    void EscapeAndCloseEndWithoutChoice();
    void NoDrivesLeavesContinueDisabled();
    void RowTexts();
    void WebLinkColoursAndClick();
    void CaptionsAndLayout();
};

void FmChooseTest::LastRowPreselectedAndEnterChoosesIt() {
    Chooser c;
    AddRecord(c.h.state, "DISK ONE", "1.0", 100000);
    AddRecord(c.h.state, "DISK TWO", "1.0", 100000);
    AddRecord(c.h.state, "DISK THREE", "1.0", 100000);
    bool enabled = false, focused = false;
    int current = -1, selected = -1;
    const bool chosen = c.Run([&] {
        enabled = c.cont()->isEnabled();
        focused = c.list()->hasFocus();
        current = c.list()->indexOfTopLevelItem(c.list()->currentItem());
        selected = c.list()->indexOfTopLevelItem(c.list()->selectedItems().value(0));
        QTest::keyClick(c.list(), Qt::Key_Return);
    });
    QVERIFY(enabled);
    QVERIFY(focused);
    QCOMPARE(current, 2);
    QCOMPARE(selected, 2);
    QVERIFY(chosen);
    QCOMPARE(c.h.state.ChosenIndex, 3);
    QVERIFY(c.h.state.DeviceChosen);
    QVERIFY(!c.dialog().isVisible());
}

void FmChooseTest::FirstRowByMouseThenContinue() {
    Chooser c;
    AddRecord(c.h.state, "DISK ONE", "1.0", 100000);
    AddRecord(c.h.state, "DISK TWO", "1.0", 100000);
    const bool chosen = c.Run([&] {
        QTest::mouseClick(c.list()->viewport(), Qt::LeftButton, {}, c.RowCentre(0));
        QTest::mouseClick(c.cont(), Qt::LeftButton);
    });
    QVERIFY(chosen);
    QCOMPARE(c.h.state.ChosenIndex, 1);
}

void FmChooseTest::KeyboardMovesSelectionAndContinueFollows() {
    Chooser c;
    for (const char* m : {"A", "B", "C"}) AddRecord(c.h.state, m, "1.0", 100000);
    bool afterUp = false, afterDeselect = true, afterReselect = false;
    int rowAfterUp = -1;
    const bool chosen = c.Run([&] {
        QTest::keyClick(c.list(), Qt::Key_Up);
        rowAfterUp = c.list()->indexOfTopLevelItem(c.list()->selectedItems().value(0));
        afterUp = c.cont()->isEnabled();
        // Ctrl+Space takes the selection off the current row: nothing selected, no Continue.
        QTest::keyClick(c.list(), Qt::Key_Space, Qt::ControlModifier);
        afterDeselect = c.cont()->isEnabled();
        QTest::keyClick(c.list(), Qt::Key_Return);  // must not choose anything
        QTest::keyClick(c.list(), Qt::Key_Home);
        afterReselect = c.cont()->isEnabled();
        QTest::keyClick(c.list(), Qt::Key_Return);
    });
    QCOMPARE(rowAfterUp, 1);
    QVERIFY(afterUp);
    QVERIFY(!afterDeselect);
    QVERIFY(afterReselect);
    QVERIFY(chosen);
    QCOMPARE(c.h.state.ChosenIndex, 1);
}

void FmChooseTest::ClickAndDoubleClickOnEmptyArea() {
    Chooser c;
    AddRecord(c.h.state, "A", "1.0", 100000);
    bool enabledAfterEmptyClick = true;
    bool stillOpen = false;
    const bool chosen = c.Run([&] {
        QTest::mouseClick(c.list()->viewport(), Qt::LeftButton, {}, c.BelowRows());
        enabledAfterEmptyClick = c.cont()->isEnabled();
        DoubleClick(c.list()->viewport(), c.BelowRows());
        stillOpen = c.dialog().isVisible();
        c.cont()->click();  // disabled: nothing happens
        c.dialog().close();
    });
    QVERIFY(!enabledAfterEmptyClick);
    QVERIFY(stillOpen);
    QVERIFY(!chosen);
    QCOMPARE(c.h.state.ChosenIndex, 0);
}

void FmChooseTest::DoubleClickOnRowContinues() {
    Chooser c;
    AddRecord(c.h.state, "A", "1.0", 100000);
    AddRecord(c.h.state, "B", "1.0", 100000);
    const bool chosen = c.Run([&] { DoubleClick(c.list()->viewport(), c.RowCentre(0)); });
    QVERIFY(chosen);
    QCOMPARE(c.h.state.ChosenIndex, 1);
}

void FmChooseTest::SmallDriveRefusedAtTheBoundary_data() {
    QTest::addColumn<qint64>("sectors");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("65,534 refused") << qint64(65534) << false;
    QTest::newRow("65,535 accepted") << qint64(65535) << true;
    QTest::newRow("0 refused") << qint64(0) << false;
}

void FmChooseTest::SmallDriveRefusedAtTheBoundary() {
    QFETCH(qint64, sectors);
    QFETCH(bool, accepted);
    Chooser c;
    AddRecord(c.h.state, "SMALL", "1.0", sectors);
    bool openAfterContinue = false;
    const bool chosen = c.Run([&] {
        c.cont()->click();
        openAfterContinue = c.dialog().isVisible();
        if (openAfterContinue) c.dialog().close();
    });
    QCOMPARE(chosen, accepted);
    QCOMPARE(openAfterContinue, !accepted);
    if (accepted) {
        QVERIFY(c.h.boxes.shown.empty());
    } else {
        QCOMPARE(c.h.boxes.shown.size(), size_t(1));
        QCOMPARE(c.h.boxes.shown[0].text,
                 std::string("This device cannot be accessed because it is smaller than 65535 sectors.  "));
        QCOMPARE(c.h.boxes.shown[0].caption, std::string("Cannot access this device"));
        QVERIFY(c.h.boxes.shown[0].icon == BoxIcon::Information);
        QCOMPARE(c.h.state.ChosenIndex, 0);
        QVERIFY(!c.h.state.DeviceChosen);
    }
}

void FmChooseTest::EscapeAndCloseEndWithoutChoice() {
    {
        Chooser c;
        AddRecord(c.h.state, "A", "1.0", 100000);
        QVERIFY(!c.Run([&] { QTest::keyClick(c.list(), Qt::Key_Escape); }));
        QVERIFY(!c.h.state.DeviceChosen);
        QVERIFY(!c.dialog().isVisible());
    }
    {
        // On the Continue button, Escape does nothing.
        Chooser c;
        AddRecord(c.h.state, "A", "1.0", 100000);
        bool stillOpen = false;
        QVERIFY(!c.Run([&] {
            c.cont()->setFocus();
            QTest::keyClick(c.cont(), Qt::Key_Escape);
            stillOpen = c.dialog().isVisible();
        }));
        QVERIFY(stillOpen);
    }
    {
        Chooser c;
        AddRecord(c.h.state, "A", "1.0", 100000);
        // What the close box and Alt+F4 ask of the window.
        QVERIFY(!c.Run([&] { c.dialog().close(); }));
        QVERIFY(!c.h.state.DeviceChosen);
    }
}

void FmChooseTest::NoDrivesLeavesContinueDisabled() {
    Chooser c;
    c.dialog().SetStatusText("Disks found: 0");
    bool enabled = true;
    QString status;
    QVERIFY(!c.Run([&] {
        enabled = c.cont()->isEnabled();
        status = c.dialog().findChild<QStatusBar*>("StatusBar")->findChild<QLabel*>()->text();
        QTest::keyClick(c.list(), Qt::Key_Return);
        c.dialog().close();
    }));
    QVERIFY(!enabled);
    QCOMPARE(status, QString("Disks found: 0"));
}

void FmChooseTest::RowTexts() {
    Chooser c;
    AddRecord(c.h.state, "   ST380011A  ", "3.06    ", 156301488);
    AddRecord(c.h.state, "ADVANCED FORMAT", "4K01", 262144, 3, 4096);
    AddRecord(c.h.state, "FLASH", "8.07", 3915776, 7);
    QStringList row0, row1, row2;
    c.Run([&] {
        for (int col = 0; col < 6; ++col) {
            row0 << c.list()->topLevelItem(0)->text(col);
            row1 << c.list()->topLevelItem(1)->text(col);
            row2 << c.list()->topLevelItem(2)->text(col);
        }
        c.dialog().close();
    });
    QCOMPARE(row0, (QStringList{"ATA", "ST380011A", "3.06    ", "SER", "156301488", "80.02 Gbytes"}));
    QCOMPARE(row1.at(5), QString("1073.74 Mbytes"));  // 262,144 sectors of 4096 bytes
    QCOMPARE(row2.at(0), QString("USB"));
    QCOMPARE(c.list()->headerItem()->text(0), QString("BUS"));
    QCOMPARE(c.list()->headerItem()->text(5), QString("SIZE"));
    QVERIFY(c.list()->header()->stretchLastSection());
}

void FmChooseTest::WebLinkColoursAndClick() {
    Chooser c;
    auto* link = c.dialog().findChild<QLabel*>("Label1");
    QVERIFY(link != nullptr);
    QCOMPARE(ui::TextColour(link), QColor(Qt::blue));
    QTest::mousePress(link, Qt::RightButton);
    QCOMPARE(ui::TextColour(link), QColor(Qt::blue));
    QTest::mouseRelease(link, Qt::RightButton);
    QVERIFY(c.h.sim.OpenedWebAddresses().empty());
    QTest::mousePress(link, Qt::LeftButton);
    QCOMPARE(ui::TextColour(link), QColor(Qt::red));
    QTest::mouseRelease(link, Qt::LeftButton);
    QCOMPARE(ui::TextColour(link), QColor(Qt::blue));
    QCOMPARE(c.h.sim.OpenedWebAddresses().size(), size_t(1));
    QCOMPARE(link->text(), QString::fromStdString(c.h.sim.OpenedWebAddresses()[0]).toUpper());
    QTest::mouseClick(c.dialog().findChild<QLabel*>("imgLogo"), Qt::LeftButton);
    QCOMPARE(c.h.sim.OpenedWebAddresses().size(), size_t(2));
}

void FmChooseTest::CaptionsAndLayout() {
    Chooser c;
    QCOMPARE(c.dialog().windowTitle(), QString("Choose a device - Ormandel 2.20 build 1098 "));
    QCOMPARE(c.dialog().findChild<QLabel*>("lbProgramName")->text(), QString("ORMANDEL 2.20 BUILD 1098"));
    QCOMPARE(c.dialog().findChild<QLabel*>("Label2")->text(), QString("Please choose a drive"));
    QCOMPARE(c.cont()->text(), QString("Continue >>>"));
    QVERIFY(c.cont()->isDefault());
    QVERIFY(!c.cont()->isEnabled());
    const ui::DesignScale s = ui::ScreenScale();
    QCOMPARE(c.dialog().size(), QSize(s(901), s(419)));
    QCOMPARE(c.dialog().minimumSize(), c.dialog().maximumSize());
    c.dialog().PlaceLogo();
    auto* band = c.dialog().findChild<QWidget*>("Panel4");
    auto* logo = c.dialog().findChild<QLabel*>("imgLogo");
    QCOMPARE(logo->geometry(), QRect(band->width() - 50, (band->height() - 32) / 2, 32, 32));
}

QTEST_MAIN(FmChooseTest)
#include "tst_fm_choose.moc"
