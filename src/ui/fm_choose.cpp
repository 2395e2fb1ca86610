#include "ui/fm_choose.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/product.h"
#include "shell/chooser_rows.h"
#include "shell/startup_sequence.h"
#include "ui/click_label.h"
#include "ui/fonts.h"
#include "ui/qt_sinks.h"
#include "ui/window_parts.h"

namespace orm::ui {

namespace {

// Column widths at 120 pixels per inch; the last column takes the rest of the row.
constexpr int kColumnWidths[] = {100, 200, 100, 150, 150};

}  // namespace

TFmChoose::TFmChoose(KernelServices& ks, RunState& state, Regional& regional, MessageBoxes& boxes,
                     QWidget* parent)
    : QDialog(parent, kFixedDialogFlags),
      m_ks(ks),
      m_state(state),
      m_regional(regional),
      m_boxes(boxes),
      m_scale(ScreenScale()) {
    const DesignScale& s = m_scale;
    setObjectName("FmChoose");
    setFont(WindowFont(s, 15));
    setFixedSize(s(901), s(419));
    setWindowIcon(QIcon(LogoPixmap(32)));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    Panel4 = WhiteBand("Panel4", s(57));
    lbProgramName = new QLabel(Panel4);
    lbProgramName->setObjectName("lbProgramName");
    lbProgramName->setFont(WindowFont(s, 17, true));
    lbProgramName->move(s(32), s(16));
    Label1 = new ClickLabel(Panel4);
    Label1->setObjectName("Label1");
    Label1->setFont(WindowFont(s, 17, true));
    Label1->setText(ToQt(kMakerWebAddress).toUpper());
    SetTextColour(Label1, Qt::blue);
    Label1->setAutoFillBackground(true);
    QPalette white = Label1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Label1->setPalette(white);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->adjustSize();
    Label1->move(s(772) - Label1->width(), s(16));
    imgLogo = LogoLabel(Panel4);
    root->addWidget(Panel4);
    root->addWidget(Separator("Panel5", s(2)));

    QWidget* Panel1 = BorderPanel("Panel1", s(10));
    QWidget* Panel2 = BorderPanel("Panel2", s(10));
    DriveList = new QTreeWidget(Panel2);
    DriveList->setObjectName("DriveList");
    DriveList->setRootIsDecorated(false);
    DriveList->setItemsExpandable(false);
    DriveList->setUniformRowHeights(true);
    DriveList->setSelectionMode(QAbstractItemView::SingleSelection);
    DriveList->setSelectionBehavior(QAbstractItemView::SelectRows);
    DriveList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DriveList->setAllColumnsShowFocus(true);
    DriveList->setHeaderLabels({"BUS", "MODEL", "FIRMWARE", "SERIAL NUMBER", "LBA", "SIZE"});
    DriveList->header()->setStretchLastSection(true);
    DriveList->header()->setSectionsMovable(false);
    for (int c = 0; c < 5; ++c) DriveList->setColumnWidth(c, s(kColumnWidths[c]));
    DriveList->viewport()->installEventFilter(this);
    Panel2->layout()->addWidget(DriveList);
    Panel1->layout()->addWidget(Panel2);

    QWidget* Panel3 = new QWidget;
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(s(69));
    lbCopyright = new QLabel(Panel3);
    lbCopyright->setObjectName("lbCopyright");
    lbCopyright->setFont(WindowFont(s, 13, true));
    SetTextColour(lbCopyright, kCopyrightGray);
    lbCopyright->move(s(8), s(24));
    Label2 = new QLabel("Please choose a drive", Panel3);
    Label2->setObjectName("Label2");
    Label2->setFont(WindowFont(s, 15, true));
    Label2->adjustSize();
    Label2->move(s(354), s(24));
    btContinue = new QPushButton("Continue >>>", Panel3);
    btContinue->setObjectName("btContinue");
    btContinue->setGeometry(s(698), s(16), s(131), s(33));
    btContinue->setDefault(true);
    btContinue->setEnabled(false);
    Panel1->layout()->addWidget(Panel3);
    root->addWidget(Panel1, 1);

    StatusBar = MakeStatusBar(s(26));
    root->addWidget(StatusBar);

    connect(DriveList, &QTreeWidget::itemSelectionChanged, this, &TFmChoose::DriveListClick);
    connect(DriveList, &QTreeWidget::itemDoubleClicked, this, &TFmChoose::DriveListDblClick);
    connect(btContinue, &QPushButton::clicked, this, &TFmChoose::btContinueClick);
    connect(Label1, &ClickLabel::mousePressed, this, &TFmChoose::Label1MouseDown);
    connect(Label1, &ClickLabel::mouseReleased, this, &TFmChoose::Label1MouseUp);
    connect(Label1, &ClickLabel::clicked, this, &TFmChoose::OpenMakerPage);
    connect(imgLogo, &ClickLabel::clicked, this, &TFmChoose::OpenMakerPage);

    FormCreate();
}

void TFmChoose::FormCreate() {
    setWindowTitle(QString("Choose a device - ") + kProductTitle + " ");
    lbProgramName->setText(QString(kProductTitle).toUpper());
    lbProgramName->adjustSize();
}

bool TFmChoose::ChooseDevice() {
    DriveList->clear();
    for (std::int64_t k = 1; k <= m_state.DrivesFound; ++k) {
        QStringList columns;
        for (const std::string& text : ChooserRowTexts(m_state.Record(k), m_regional.DecimalSeparator())) {
            columns << ToQt(text);
        }
        DriveList->addTopLevelItem(new QTreeWidgetItem(columns));
    }
    CentreOnScreen(this);
    exec();
    return m_state.DeviceChosen;
}

void TFmChoose::PlaceLogo() {
    layout()->activate();
    const LogoPlace place = PlaceLogoInBand(Panel4->width(), Panel4->height());
    imgLogo->setGeometry(place.left, place.top, place.width, place.height);
}

void TFmChoose::SetCopyright(const std::string& line) {
    lbCopyright->setText(ToQt(line));
    lbCopyright->adjustSize();
}

void TFmChoose::SetStatusText(const std::string& text) {
    StatusBarText(StatusBar)->setText(ToQt(text));
}

void TFmChoose::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFmChoose::FormShow() {
    DriveList->setFocus();
    const int rows = DriveList->topLevelItemCount();
    if (rows > 0) {
        btContinue->setEnabled(true);
        QTreeWidgetItem* last = DriveList->topLevelItem(rows - 1);
        DriveList->setCurrentItem(last);
        last->setSelected(true);
    }
}

bool TFmChoose::eventFilter(QObject* watched, QEvent* event) {
    // A press on the empty area below the rows clears the selection, whatever the style does.
    if (watched == DriveList->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (DriveList->itemAt(mouse->position().toPoint()) == nullptr) {
            DriveList->clearSelection();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFmChoose::keyPressEvent(QKeyEvent* event) {
    // Escape ends the program from the list (the dialog then closes and FormClose runs); on the
    // Continue button it does nothing.
    if (event->key() == Qt::Key_Escape && focusWidget() == btContinue) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFmChoose::DriveListClick() {
    btContinue->setEnabled(!DriveList->selectedItems().isEmpty());
}

void TFmChoose::DriveListDblClick(QTreeWidgetItem* item) {
    if (item != nullptr && item->isSelected()) btContinueClick();
}

void TFmChoose::btContinueClick() {
    const QList<QTreeWidgetItem*> selected = DriveList->selectedItems();
    if (selected.isEmpty()) return;
    const int row = DriveList->indexOfTopLevelItem(selected.first());
    if (row < 0) return;
    if (ContinueWithRow(m_state, row, m_boxes)) accept();
}

void TFmChoose::Label1MouseDown(Qt::MouseButton button) {
    if (button == Qt::LeftButton) SetTextColour(Label1, Qt::red);
}

void TFmChoose::Label1MouseUp(Qt::MouseButton button) {
    if (button == Qt::LeftButton) SetTextColour(Label1, Qt::blue);
}

void TFmChoose::OpenMakerPage() {
    m_ks.OpenWebAddress(kMakerWebAddress);
}

}  // namespace orm::ui
