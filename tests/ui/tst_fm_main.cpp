// The main window: layout facts, the busy state's input gate, the log writers and their stamp, the
// added lines' width, Tab, Alt+G, and the behaviour table both faces run (support/main_window_rows.h).
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
#include "support/main_window_rows.h"
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
        return h.main->FormShow(*h.chooser) == ShowResult::Opened;
    }
    int wipes() const {
        return static_cast<int>(
            std::count_if(h.boxes.confirms.begin(), h.boxes.confirms.end(),
                          [](const uitest::ShownBox& b) { return b.caption == "Confirm"; }));
    }
    int smarts() { return static_cast<int>(memo("Log_Smart").count("SMART Attributes for")); }
};

class QtFace : public testing::MainFace {
  public:
    explicit QtFace(Main& main) : m(main) {}
    void Step(const std::string& s) override {
        if (s.rfind("page", 0) == 0) m.pages()->setCurrentIndex(s[4] - '0');
        if (s == "wipe") m.wipe()->click();
        if (s == "smart") m.smart()->click();
        if (s == "logo") QTest::mouseClick(m.child<QLabel>("imgLogo"), Qt::LeftButton);
        if (s == "copyright") QTest::mouseClick(m.copyright(), Qt::LeftButton);
        if (s == "enter") QTest::keyClick(&m.w(), Qt::Key_Return);
        if (s == "enter-in-log") QTest::keyClick(m.child<QPlainTextEdit>("Log_BenchMark"), Qt::Key_Return);
        if (s == "busy" || s == "idle") m.w().SetControlsEnabled(s == "idle");
        if (s == "close") m.w().close();
        QLabel* label = m.copyright();
        const QPoint away(-50, -50);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), label->mapToGlobal(QPointF(1, 1)));
        QEvent leave(QEvent::Leave);
        if (s == "hover") QApplication::sendEvent(label, &enter);
        if (s == "unhover") QApplication::sendEvent(label, &leave);
        const Qt::MouseButton button = s[0] == 'r'   ? Qt::RightButton
                                       : s[0] == 'm' ? Qt::MiddleButton
                                                     : Qt::LeftButton;
        if (s == "right-down" || s == "middle-down" || s == "left-down") QTest::mousePress(label, button);
        if (s == "right-up" || s == "middle-up" || s == "left-up") QTest::mouseRelease(label, button);
        if (s == "left-up-away") QTest::mouseRelease(label, Qt::LeftButton, {}, away);
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            const QPoint at = m.smart()->rect().center();
            if (s == "post-smart")
                QCoreApplication::postEvent(
                    m.smart(),
                    new QMouseEvent(type, at, m.smart()->mapToGlobal(at), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {}));
        }
        if (s == "post-close")
            QMetaObject::invokeMethod(
                &m.w(), [this] { m.w().close(); }, Qt::QueuedConnection);
    }
    std::string WipeLog() override { return m.memo("Log_BenchMark").toStdString(); }
    std::string SmartLog() override { return m.memo("Log_Smart").toStdString(); }
    std::string DetailsLog() override { return m.memo("Log_Details").toStdString(); }
    std::string Title() override { return m.w().windowTitle().toStdString(); }
    std::string DiskName() override { return m.child<QLabel>("lbDiskName")->text().toStdString(); }
    std::string StatusPanel(int i) override { return uitest::StatusPanelText(m.w(), i).toStdString(); }
    std::string Copyright() override { return m.copyright()->text().toStdString(); }
    int EnabledControls() override {
        return m.wipe()->isEnabled() + m.smart()->isEnabled() + m.pages()->tabBar()->isEnabled();
    }
    bool WindowUp() override { return m.w().isVisible(); }
    int Page() override { return m.pages()->currentIndex(); }
    int Progress() override { return m.child<QProgressBar>("pbCurrentTask")->value(); }
    std::string SleepJournal() override { return m.h.sleepRecorder.journal; }
    std::string CopyrightColour() override {
        const QColor c = ui::TextColour(m.copyright());
        return c == Qt::blue ? "blue" : c == Qt::red ? "red" : c == QColor(128, 128, 128) ? "gray" : "?";
    }

  private:
    Main& m;
};

}  // namespace

class FmMainTest : public QObject {
    Q_OBJECT
  private slots:
    void CreatedStateAndLayout();
    void MemosAreReadOnlyAndReportMemosFixedPitch();
    void BusyStateRefusesInputButKeepsProgressAndLogsActive();
    void TabReachesTabBarAndMemoAfterTheBusyState();
    void AltGPressesGetSmart();
    void WipeLogStamp_data();
    void WipeLogStamp();
    void DetailsAndSmartLinesUnchanged();
    void AddedLinesFitTheMemosWhichStayAtColumnZero();
    void BehaviourTable();
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
    QTest::mouseClick(m.pages()->tabBar(), Qt::LeftButton, {}, m.pages()->tabBar()->tabRect(2).center());
    QCOMPARE(m.pages()->currentIndex(), 2);  // the commands after the busy state: a row of the table
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

void FmMainTest::BehaviourTable() {
    for (const testing::MainRow& row : testing::kMainRows) {
        Main m;
        QVERIFY(m.Open());
        m.w().show();
        QtFace face(m);
        const std::string effects = MainEffects(row, face, m.h.sim, m.h.state, m.h.boxes, m.h.regional, 0);
        QVERIFY2(effects == row.effects, (std::string(row.name) + ": " + effects).c_str());
        QVERIFY(uitest::StatusPanelText(m.w(), 2).isEmpty());
    }
}

QTEST_MAIN(FmMainTest)
#include "tst_fm_main.moc"
