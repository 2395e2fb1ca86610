// The main window: layout facts, the busy state, the log writers and their stamp, the status
// panels, the copyright label's colours and the web page, Enter and Alt+G.
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QtMath>
#include <QtTest>
#include <algorithm>

#include "common/date_time.h"
#include "support/added_memo_lines.h"
#include "ui/window_parts.h"
#include "ui_test_support.h"

using namespace orm;

namespace {

struct Main {
    uitest::Harness h;
    ui::TFmMain& w() { return *h.main; }
    template <typename T>
    T* child(const char* name) {
        T* found = h.main->findChild<T*>(name);
        if (found == nullptr) qWarning("no child %s", name);
        return found;
    }
    QTabWidget* pages() { return child<QTabWidget>("pages"); }
    QPushButton* wipe() { return child<QPushButton>("btRunBenchmarks"); }
    QPushButton* smart() { return child<QPushButton>("btGetSmart"); }
    QLabel* copyright() { return child<QLabel>("lbCopyright"); }
    QString memo(const char* name) { return child<QPlainTextEdit>(name)->toPlainText(); }
    // Starts the program on one simulated drive, chosen in the chooser, so that both commands
    // run for real: a wipe asks its confirmation (answered No unless a test says otherwise), the
    // SMART command writes its report heading.
    bool Open() {
        uitest::AddAtaDrive(h.sim, 0, 70000, "DISK");
        uitest::ModalWait wait([](QDialog& d) { d.findChild<QPushButton*>("btContinue")->click(); });
        return h.main->FormShow(*h.chooser) == ui::ShowResult::Opened;
    }
    int wipes() const {
        return static_cast<int>(
            std::count_if(h.boxes.confirms.begin(), h.boxes.confirms.end(),
                          [](const uitest::ShownBox& b) { return b.caption == "Confirm"; }));
    }
    int smarts() { return static_cast<int>(memo("Log_Smart").count("SMART Attributes for")); }
};

}  // namespace

class FmMainTest : public QObject {
    Q_OBJECT
  private slots:
    void CreatedStateAndLayout();
    void MemosAreReadOnlyAndReportMemosFixedPitch();
    void BusyStateRefusesInputButKeepsProgressAndLogsActive();
    void BusyStateStopsAClickDispatchedByThePump();
    void TabReachesTabBarAndMemoAfterTheBusyState();
    void EnterPressesTheButtonOfThePageShown();
    void AltGPressesGetSmart();
    void WipeLogStamp_data();
    void WipeLogStamp();
    void DetailsAndSmartLinesUnchanged();
    void AddedLinesFitTheMemosWhichStayAtColumnZero();
    void CopyrightLabelColours();
    void LogoAndCopyrightOpenTheWebPage();
    void ClosingClosesTheDriveOnce();
};

void FmMainTest::CreatedStateAndLayout() {
    Main m;
    QCOMPARE(m.pages()->currentIndex(), 0);
    QCOMPARE(m.pages()->count(), 3);
    QCOMPARE(m.pages()->tabText(0), QString("Device details"));
    QCOMPARE(m.pages()->tabText(1), QString("WIPE"));
    QCOMPARE(m.pages()->tabText(2), QString("S.M.A.R.T."));
    QCOMPARE(m.wipe()->text(), QString("WIPE THIS DEVICE"));
    QCOMPARE(m.smart()->text(), QString("&Get SMART Attributes"));
    QVERIFY(m.wipe()->isDefault());
    QVERIFY(m.smart()->isDefault());
    QCOMPARE(m.child<QGroupBox>("GroupBox2")->title(), QString("Current task progress"));
    QCOMPARE(m.child<QProgressBar>("pbCurrentTask")->minimum(), 0);
    QCOMPARE(m.child<QProgressBar>("pbCurrentTask")->maximum(), 100);
    for (int i = 0; i < 3; ++i) QVERIFY(uitest::StatusPanelText(m.w(), i).isEmpty());
    QVERIFY(m.child<QLabel>("lbDiskName")->text().isEmpty());
    QCOMPARE(ui::TextColour(m.copyright()), QColor(128, 128, 128));
    QVERIFY(m.copyright()->font().bold());
    const ui::DesignScale s = ui::ScreenScale();
    QCOMPARE(m.w().size(), QSize(s(1095), s(721)));
    QCOMPARE(m.w().minimumSize(), m.w().maximumSize());
    QCOMPARE(m.wipe()->size(), QSize(s(217), s(33)));
    QCOMPARE(m.child<QStatusBar>("StatusBar")->height(), s(26));
    m.w().PlaceLogo();
    auto* band = m.child<QWidget>("Panel2");
    QCOMPARE(band->height(), s(55));
    QCOMPARE(m.child<QLabel>("imgLogo")->geometry(),
             QRect(band->width() - 50, (band->height() - 32) / 2, 32, 32));
}

void FmMainTest::MemosAreReadOnlyAndReportMemosFixedPitch() {
    Main m;
    for (const char* name : {"Log_Details", "Log_BenchMark", "Log_Smart"}) {
        auto* memo = m.child<QPlainTextEdit>(name);
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(memo->textInteractionFlags() & Qt::TextSelectableByMouse);
    }
    QVERIFY(QFontInfo(m.child<QPlainTextEdit>("Log_Details")->font()).fixedPitch());
    QVERIFY(QFontInfo(m.child<QPlainTextEdit>("Log_Smart")->font()).fixedPitch());
}

void FmMainTest::BusyStateRefusesInputButKeepsProgressAndLogsActive() {
    Main m;
    QVERIFY(m.Open());
    m.w().show();
    m.pages()->setCurrentIndex(1);
    auto* log = m.child<QPlainTextEdit>("Log_BenchMark");
    log->setFocus();
    m.w().SetControlsEnabled(false);
    QVERIFY(!m.wipe()->isEnabled());
    QVERIFY(!m.smart()->isEnabled());
    QVERIFY(!m.pages()->tabBar()->isEnabled());
    // The progress bar and the memos are drawn as active while the work goes on.
    for (QWidget* alive :
         {static_cast<QWidget*>(m.child<QProgressBar>("pbCurrentTask")), static_cast<QWidget*>(log),
          static_cast<QWidget*>(m.child<QPlainTextEdit>("Log_Smart"))}) {
        QVERIFY(alive->isEnabled());
        QVERIFY(alive->palette().currentColorGroup() != QPalette::Disabled);
    }
    // No input reaches the page control: not the buttons, the tabs or the memo.
    QTest::mouseClick(m.wipe(), Qt::LeftButton);
    QTest::mouseClick(m.pages()->tabBar(), Qt::LeftButton, {}, m.pages()->tabBar()->tabRect(0).center());
    QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, QPoint(30, 8));
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m.wipes(), 0);
    QCOMPARE(m.pages()->currentIndex(), 1);
    QVERIFY(!log->hasFocus());
    QVERIFY(!log->textCursor().hasSelection());
    // The memos still take lines, and the logo and the copyright label stay usable.
    ui::MemoSink(log).Line("while busy");
    QVERIFY(m.memo("Log_BenchMark").endsWith("while busy"));
    QVERIFY(m.copyright()->isEnabled());
    QVERIFY(m.child<QLabel>("imgLogo")->isEnabled());

    m.w().SetControlsEnabled(true);
    QCOMPARE(m.pages()->currentIndex(), 1);
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(log->textCursor().hasSelection());
    QTest::mouseClick(m.wipe(), Qt::LeftButton);
    QCOMPARE(m.wipes(), 1);
    QTest::mouseClick(m.pages()->tabBar(), Qt::LeftButton, {}, m.pages()->tabBar()->tabRect(2).center());
    QCOMPARE(m.pages()->currentIndex(), 2);
    QTest::mouseClick(m.smart(), Qt::LeftButton);
    QCOMPARE(m.smarts(), 1);
}

void FmMainTest::BusyStateStopsAClickDispatchedByThePump() {
    // The wipe pumps messages; a click on the SMART button that arrives meanwhile must not start
    // the report.
    Main m;
    QVERIFY(m.Open());
    m.w().show();
    m.pages()->setCurrentIndex(2);
    m.h.boxes.confirmAnswer = true;
    const QPoint centre = m.smart()->rect().center();
    QCoreApplication::postEvent(
        m.smart(), new QMouseEvent(QEvent::MouseButtonPress, centre, m.smart()->mapToGlobal(centre),
                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        m.smart(), new QMouseEvent(QEvent::MouseButtonRelease, centre, m.smart()->mapToGlobal(centre),
                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    m.wipe()->click();
    QCoreApplication::processEvents();
    QVERIFY(m.memo("Log_BenchMark").contains("Wipe is done."));
    QCOMPARE(m.smarts(), 0);
}

void FmMainTest::TabReachesTabBarAndMemoAfterTheBusyState() {
    // Each command sets the busy state and clears it when it ends; a keyboard user must then reach
    // the tab bar and the memo again, to select and copy what the command wrote.
    const struct {
        int page;
        const char* memo;
        const char* button;
    } cases[] = {{2, "Log_Smart", "btGetSmart"}, {1, "Log_BenchMark", "btRunBenchmarks"}};
    Main m;
    QVERIFY(m.Open());
    m.h.boxes.confirmAnswer = true;
    m.w().show();
    QVERIFY(QTest::qWaitForWindowExposed(&m.w()));
    m.w().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m.w()));
    for (const auto& c : cases) {
        m.pages()->setCurrentIndex(c.page);
        auto* memo = m.child<QPlainTextEdit>(c.memo);
        auto* button = m.child<QPushButton>(c.button);
        const Qt::FocusPolicy before = memo->focusPolicy();
        button->click();
        QVERIFY2(button->isEnabled(), c.button);
        QCOMPARE(memo->focusPolicy(), before);
        button->setFocus(Qt::OtherFocusReason);
        QList<QWidget*> reached;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget();
        }
        QVERIFY2(reached.contains(memo), c.memo);
        QVERIFY2(reached.contains(m.pages()->tabBar()), c.memo);
    }
}

void FmMainTest::EnterPressesTheButtonOfThePageShown() {
    Main m;
    QVERIFY(m.Open());
    m.w().show();
    QTest::keyClick(&m.w(), Qt::Key_Return);  // details page: no button
    QCOMPARE(m.wipes() + m.smarts(), 0);
    m.pages()->setCurrentIndex(1);
    QTest::keyClick(m.child<QPlainTextEdit>("Log_BenchMark"), Qt::Key_Return);  // the memo takes it
    QCOMPARE(m.wipes(), 0);
    QTest::keyClick(&m.w(), Qt::Key_Return);
    QCOMPARE(m.wipes(), 1);
    m.pages()->setCurrentIndex(2);
    QTest::keyClick(&m.w(), Qt::Key_Enter);
    QCOMPARE(m.smarts(), 1);
    m.w().SetControlsEnabled(false);
    QTest::keyClick(&m.w(), Qt::Key_Return);
    QCOMPARE(m.smarts(), 1);
}

void FmMainTest::AltGPressesGetSmart() {
    Main m;
    QVERIFY(m.Open());
    m.w().show();
    QVERIFY(QTest::qWaitForWindowExposed(&m.w()));
    m.w().activateWindow();
    m.pages()->setCurrentIndex(2);
    QTest::keyClick(&m.w(), Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(m.smarts(), 1);
}

void FmMainTest::WipeLogStamp_data() {
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("afternoon") << 13 << 5 << 9 << "Wipe started"
                               << "08.12.2026 13:05:09   Wipe started";
    QTest::newRow("exactly midnight: the date alone") << 0 << 0 << 0 << "m"
                                                      << "08.12.2026   m";
    QTest::newRow("one second past midnight") << 0 << 0 << 1 << "m"
                                              << "08.12.2026 0:00:01   m";
    QTest::newRow("one blank") << 9 << 0 << 0 << " "
                               << "08.12.2026 9:00:00    ";
    QTest::newRow("leading blank kept") << 9 << 0 << 0 << " * * * * *  WARNING!!! * * * * * "
                                        << "08.12.2026 9:00:00    * * * * *  WARNING!!! * * * * * ";
}

void FmMainTest::WipeLogStamp() {
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(QString, message);
    QFETCH(QString, line);
    Main m;
    m.h.regional.now = CivilTime{2026, 12, 8, hour, minute, second};
    ui::MemoSink wipeLog(m.child<QPlainTextEdit>("Log_BenchMark"));
    LogWipe(wipeLog, m.h.regional, "first");
    LogWipe(wipeLog, m.h.regional, message.toStdString());
    const QStringList lines = m.memo("Log_BenchMark").split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1), line);
}

void FmMainTest::DetailsAndSmartLinesUnchanged() {
    Main m;
    ui::MemoSink details(m.child<QPlainTextEdit>("Log_Details"));
    details.Line(" ");
    details.Line("Model: X");
    ui::MemoSink(m.child<QPlainTextEdit>("Log_Smart")).Line("Att: 1");
    QCOMPARE(m.memo("Log_Details"), QString(" \nModel: X"));
    QCOMPARE(m.memo("Log_Smart"), QString("Att: 1"));
    QVERIFY(m.memo("Log_BenchMark").isEmpty());
}

void FmMainTest::AddedLinesFitTheMemosWhichStayAtColumnZero() {
    Main m;
    QVERIFY(m.Open());
    auto* details = m.child<QPlainTextEdit>("Log_Details");
    ui::MemoSink(details).Line(std::string(300, '-'));  // wider than the memo: its end is cut, not its start
    m.w().show();
    QCOMPARE(details->horizontalScrollBar()->value(), 0);
    for (const auto& [wipeLog, text] : testing::AddedMemoLines()) {
        m.pages()->setCurrentIndex(wipeLog ? 1 : 0);
        QCoreApplication::processEvents();
        auto* memo = m.child<QPlainTextEdit>(wipeLog ? "Log_BenchMark" : "Log_Details");
        const int room = memo->viewport()->width() - 2 * qCeil(memo->document()->documentMargin());
        QVERIFY2(QFontMetrics(memo->font()).horizontalAdvance(ui::ToQt(text)) <= room, text.c_str());
    }
}

void FmMainTest::CopyrightLabelColours() {
    Main m;
    m.w().show();
    QLabel* label = m.copyright();
    const QColor gray(128, 128, 128);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), label->mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(label, &enter);
    QCOMPARE(ui::TextColour(label), QColor(Qt::blue));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    QCOMPARE(ui::TextColour(label), gray);
    for (Qt::MouseButton other : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(label, other);
        QCOMPARE(ui::TextColour(label), gray);
        QTest::mouseRelease(label, other);
        QCOMPARE(ui::TextColour(label), gray);
    }
    QVERIFY(m.h.sim.OpenedWebAddresses().empty());
    QApplication::sendEvent(label, &enter);
    QTest::mousePress(label, Qt::LeftButton);
    QCOMPARE(ui::TextColour(label), QColor(Qt::red));
    QTest::mouseRelease(label, Qt::LeftButton);
    QCOMPARE(ui::TextColour(label), gray);  // gray after the release, the pointer still on the label
}

void FmMainTest::LogoAndCopyrightOpenTheWebPage() {
    Main m;
    m.w().show();
    QTest::mouseClick(m.copyright(), Qt::LeftButton);
    QTest::mouseClick(m.child<QLabel>("imgLogo"), Qt::LeftButton);
    m.w().SetControlsEnabled(false);  // busy: both still work
    QTest::mouseClick(m.child<QLabel>("imgLogo"), Qt::LeftButton);
    const auto opened = m.h.sim.OpenedWebAddresses();
    QCOMPARE(opened.size(), size_t(3));
    QCOMPARE(opened[0], std::string("http://www.example.com/ormandel/"));
    QCOMPARE(opened[1], opened[0]);
}

void FmMainTest::ClosingClosesTheDriveOnce() {
    Main m;
    uitest::AddAtaDrive(m.h.sim, 0, 100000, "DISK");
    m.h.state.DeviceHandle = m.h.sim.Open(m.h.sim.DrivePath(0), 0xC0000000u, 3, 3, 0);
    QVERIFY(m.h.state.DeviceHandle != kInvalidHandle);
    m.w().show();
    m.w().close();
    QCOMPARE(m.h.sim.Calls(sim::Call::Close).size(), size_t(1));
    QCOMPARE(m.h.state.DeviceHandle, kNoHandle);
    QVERIFY(uitest::StatusPanelText(m.w(), 2).isEmpty());
}

QTEST_MAIN(FmMainTest)
#include "tst_fm_main.moc"
