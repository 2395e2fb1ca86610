#include "ui/fm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "common/product.h"
#include "shell/startup_sequence.h"
#include "ui/click_label.h"
#include "ui/fm_choose.h"
#include "ui/fonts.h"
#include "ui/window_parts.h"

namespace orm::ui {

namespace {

// Status panel widths at 120 pixels per inch.
constexpr int kPanelWidths[3] = {350, 450, 50};

// A read-only memo that takes Enter itself, as multi-line text controls do, so Enter there does
// not reach the window's default button.
class MemoEdit : public QPlainTextEdit {
  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

QPlainTextEdit* Memo(const char* name, const QFont& font) {
    auto* memo = new MemoEdit;
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setFont(font);
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    memo->setPalette(palette);
    return memo;
}

// A strip of fixed height whose button keeps its distance to the strip's right and bottom edges.
QWidget* ButtonStrip(const char* name, int height, QPushButton* button, int top, int rightGap,
                     int bottomGap) {
    auto* strip = new QWidget;
    strip->setObjectName(name);
    strip->setFixedHeight(height);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, top, rightGap, bottomGap);
    layout->addStretch(1);
    layout->addWidget(button, 0, Qt::AlignBottom);
    return strip;
}

}  // namespace

// Keeps the widgets inside the page control from taking input while a command runs, without
// disabling them: a disabled progress bar or memo is drawn greyed, and these must look alive
// while the wipe moves the bar and writes its log. While closed, the widgets take no focus and
// every mouse, wheel and key event sent to them is dropped.
//
// Focus policies are saved and restored only on widgets without a focus proxy: setting a
// policy on a widget also sets it on its proxy, so restoring a scroll area viewport's own
// NoFocus would leave its memo with NoFocus for good (and the page control's would overwrite
// its tab bar's). Those widgets never take focus themselves; their proxies are gated directly.
class InputGate : public QObject {
  public:
    InputGate(QWidget* area, QObject* parent) : QObject(parent), m_area(area) {
        m_widgets.emplace_back(area, area->focusPolicy());
        for (QWidget* child : area->findChildren<QWidget*>())
            m_widgets.emplace_back(child, child->focusPolicy());
        for (auto& entry : m_widgets) entry.first->installEventFilter(this);
    }

    void SetOpen(bool open) {
        if (open == m_open) return;
        m_open = open;
        for (auto& [widget, policy] : m_widgets) {
            if (widget.isNull() || widget->focusProxy() != nullptr) continue;
            if (!open) policy = widget->focusPolicy();
            widget->setFocusPolicy(open ? policy : Qt::NoFocus);
        }
        QWidget* focus = QApplication::focusWidget();
        if (!open && focus != nullptr && (focus == m_area || m_area->isAncestorOf(focus)))
            focus->clearFocus();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_open) return QObject::eventFilter(watched, event);
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
    }

  private:
    QWidget* m_area;
    std::vector<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> m_widgets;
    bool m_open = true;
};

TFmMain::TFmMain(ShellServices services, QWidget* parent)
    : QWidget(parent, kFixedWindowFlags), m_ks(services.ks), m_main(services, *this), m_scale(ScreenScale()) {
    const DesignScale& s = m_scale;
    setObjectName("FmMain");
    setFont(WindowFont(s, 15));
    setFixedSize(s(1095), s(721));
    setWindowIcon(QIcon(LogoPixmap(32)));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    Panel2 = WhiteBand("Panel2", s(55));
    lbDiskName = new QLabel(Panel2);
    lbDiskName->setObjectName("lbDiskName");
    lbDiskName->setFont(WindowFont(s, 17, true));
    lbDiskName->move(s(24), s(16));
    imgLogo = LogoLabel(Panel2);
    root->addWidget(Panel2);
    root->addWidget(Separator("Panel3", s(2)));

    QWidget* Panel10 = BorderPanel("Panel10", s(10));
    pages = new QTabWidget;
    pages->setObjectName("pages");

    const QFont memoFont = MemoFont(s, 15);
    // Page 0: the details report.
    auto* TabSheet3 = BorderPanel("TabSheet3", 0);
    QWidget* Panel14 = BorderPanel("Panel14", s(10));
    QWidget* Panel16 = BorderPanel("Panel16", s(10));
    Log_Details = Memo("Log_Details", memoFont);
    Panel16->layout()->addWidget(Log_Details);
    Panel14->layout()->addWidget(Panel16);
    TabSheet3->layout()->addWidget(Panel14);
    pages->addTab(TabSheet3, "Device details");

    // Page 1: the wipe log, its progress and the command.
    auto* TabSheet1 = BorderPanel("TabSheet1", 0);
    QWidget* Panel1 = BorderPanel("Panel1", s(10));
    auto* panel1Layout = static_cast<QVBoxLayout*>(Panel1->layout());
    QWidget* Panel5 = BorderPanel("Panel5", s(10));
    Panel5->setFixedHeight(s(345));
    Log_BenchMark = Memo("Log_BenchMark", font());
    Panel5->layout()->addWidget(Log_BenchMark);
    QWidget* Panel7 = BorderPanel("Panel7", s(10));
    Panel7->setFixedHeight(s(112));
    auto* GroupBox2 = new QGroupBox("Current task progress");
    GroupBox2->setObjectName("GroupBox2");
    auto* groupLayout = new QVBoxLayout(GroupBox2);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    QWidget* Panel9 = BorderPanel("Panel9", s(15));
    pbCurrentTask = new QProgressBar;
    pbCurrentTask->setObjectName("pbCurrentTask");
    pbCurrentTask->setRange(0, 100);
    pbCurrentTask->setValue(0);
    pbCurrentTask->setTextVisible(false);
    Panel9->layout()->addWidget(pbCurrentTask);
    groupLayout->addWidget(Panel9);
    Panel7->layout()->addWidget(GroupBox2);
    btRunBenchmarks = new QPushButton("WIPE THIS DEVICE");
    btRunBenchmarks->setObjectName("btRunBenchmarks");
    btRunBenchmarks->setFixedSize(s(217), s(33));
    btRunBenchmarks->setAutoDefault(false);
    btRunBenchmarks->setDefault(true);
    auto* Panel6 = new QWidget;
    Panel6->setObjectName("Panel6");
    Panel6->setFixedHeight(s(21));
    panel1Layout->addWidget(Panel5);
    panel1Layout->addWidget(Panel7);
    panel1Layout->addStretch(1);
    panel1Layout->addWidget(Panel6);
    panel1Layout->addWidget(ButtonStrip("Panel4", s(51), btRunBenchmarks, s(4), s(10), s(14)));
    TabSheet1->layout()->addWidget(Panel1);
    pages->addTab(TabSheet1, "WIPE");

    // Page 2: the SMART report and its command.
    auto* TabSheet2 = BorderPanel("TabSheet2", 0);
    QWidget* Panel11 = BorderPanel("Panel11", s(10));
    QWidget* Panel13 = BorderPanel("Panel13", s(10));
    Log_Smart = Memo("Log_Smart", memoFont);
    Panel13->layout()->addWidget(Log_Smart);
    btGetSmart = new QPushButton("&Get SMART Attributes");
    btGetSmart->setObjectName("btGetSmart");
    btGetSmart->setFixedSize(s(217), s(33));
    btGetSmart->setAutoDefault(false);
    btGetSmart->setDefault(true);
    Panel11->layout()->addWidget(Panel13);
    Panel11->layout()->addWidget(ButtonStrip("Panel12", s(63), btGetSmart, s(16), s(10), s(14)));
    TabSheet2->layout()->addWidget(Panel11);
    pages->addTab(TabSheet2, "S.M.A.R.T.");

    auto* Panel17 = new QWidget;
    Panel17->setObjectName("Panel17");
    Panel17->setFixedHeight(s(28));
    lbCopyright = new ClickLabel(Panel17);
    lbCopyright->setObjectName("lbCopyright");
    lbCopyright->setFont(WindowFont(s, 13, true));
    SetTextColour(lbCopyright, kCopyrightGray);
    lbCopyright->setCursor(Qt::PointingHandCursor);
    lbCopyright->move(s(8), s(10));
    Panel10->layout()->addWidget(pages);
    Panel10->layout()->addWidget(Panel17);
    root->addWidget(Panel10, 1);

    StatusBar = MakeStatusBar(s(26));
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel;
        m_panels[i]->setObjectName(QString("StatusPanel%1").arg(i));
        m_panels[i]->setFixedWidth(s(kPanelWidths[i]));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setAlignment((i == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        StatusBar->addWidget(m_panels[i]);
    }
    root->addWidget(StatusBar);

    m_wipeLog = std::make_unique<MemoSink>(Log_BenchMark);
    m_detailsLog = std::make_unique<MemoSink>(Log_Details);
    m_smartLog = std::make_unique<MemoSink>(Log_Smart);
    m_progress = std::make_unique<ProgressBarSink>(pbCurrentTask);
    m_pump = std::make_unique<QtMessagePump>(services.state);
    m_pageGate = new InputGate(pages, this);

    connect(btRunBenchmarks, &QPushButton::clicked, this, [this] { m_main.btRunBenchmarksClick(); });
    connect(btGetSmart, &QPushButton::clicked, this, [this] { m_main.btGetSmartClick(); });
    connect(imgLogo, &ClickLabel::clicked, this, [this] { m_main.OpenMakerPage(); });
    connect(lbCopyright, &ClickLabel::clicked, this, [this] { m_main.OpenMakerPage(); });
    connect(lbCopyright, &ClickLabel::mouseEntered, this, [this] { SetTextColour(lbCopyright, Qt::blue); });
    connect(lbCopyright, &ClickLabel::mouseLeft, this,
            [this] { SetTextColour(lbCopyright, kCopyrightGray); });
    connect(lbCopyright, &ClickLabel::mousePressed, this, &TFmMain::lbCopyrightMouseDown);
    connect(lbCopyright, &ClickLabel::mouseReleased, this, &TFmMain::lbCopyrightMouseUp);

    m_main.FormCreate();
}

TFmMain::~TFmMain() = default;

ShowResult TFmMain::FormShow(TFmChoose& chooser) {
    return m_main.FormShow(chooser);
}

void TFmMain::ShowPage(int index) {
    pages->setCurrentIndex(index);
}

void TFmMain::CentreOnScreen() {
    ui::CentreOnScreen(this);
}

void TFmMain::OpenMakerPage() {
    m_ks.OpenWebAddress(kMakerWebAddress);
}

void TFmMain::SetControlsEnabled(bool enabled) {
    btRunBenchmarks->setEnabled(enabled);
    btGetSmart->setEnabled(enabled);
    // The page control: its tabs are disabled; the rest takes no input but stays enabled, so the
    // progress bar and the memos, which keep receiving lines, are not drawn greyed.
    pages->tabBar()->setEnabled(enabled);
    m_pageGate->SetOpen(enabled);
}

void TFmMain::PlaceLogo() {
    layout()->activate();
    const LogoPlace place = PlaceLogoInBand(Panel2->width(), Panel2->height());
    imgLogo->setGeometry(place.left, place.top, place.width, place.height);
}

void TFmMain::SetTitles(const std::string& title) {
    setWindowTitle(ToQt(title));
    QCoreApplication::setApplicationName(ToQt(title));
    m_panels[0]->setText(ToQt(title));
}

void TFmMain::SetCopyright(const std::string& line) {
    lbCopyright->setText(ToQt(line));
    lbCopyright->adjustSize();
}

void TFmMain::SetDiskName(const std::string& text) {
    lbDiskName->setText(ToQt(text));
    lbDiskName->adjustSize();
}

void TFmMain::SetStatusPanel1(const std::string& text) {
    m_panels[1]->setText(ToQt(text));
}

void TFmMain::closeEvent(QCloseEvent* event) {
    if (m_main.FormClose()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TFmMain::keyPressEvent(QKeyEvent* event) {
    // Both command buttons are default buttons: Enter, when the focused control leaves it,
    // presses the button of the page shown.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QPushButton* button = pages->currentIndex() == 1   ? btRunBenchmarks
                              : pages->currentIndex() == 2 ? btGetSmart
                                                           : nullptr;
        if (button != nullptr && button->isEnabled()) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TFmMain::lbCopyrightMouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) SetTextColour(lbCopyright, Qt::red);
}

void TFmMain::lbCopyrightMouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) SetTextColour(lbCopyright, kCopyrightGray);
}

}  // namespace orm::ui
