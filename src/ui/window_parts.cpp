#include "ui/window_parts.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "ui/click_label.h"

namespace orm::ui {

QWidget* BorderPanel(const char* name, int border) {
    auto* panel = new QWidget;
    panel->setObjectName(name);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(border, border, border, border);
    layout->setSpacing(0);
    return panel;
}

QWidget* WhiteBand(const char* name, int height) {
    auto* band = new QWidget;
    band->setObjectName(name);
    band->setFixedHeight(height);
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, Qt::white);
    band->setPalette(palette);
    return band;
}

QWidget* Separator(const char* name, int height) {
    auto* line = new QFrame;
    line->setObjectName(name);
    line->setFixedHeight(height);
    line->setFrameShape(QFrame::Panel);
    line->setFrameShadow(QFrame::Raised);
    line->setLineWidth(1);
    return line;
}

QStatusBar* MakeStatusBar(int height) {
    auto* bar = new QStatusBar;
    bar->setObjectName("StatusBar");
    bar->setFixedHeight(height);
    bar->setSizeGripEnabled(false);
    return bar;
}

QLabel* StatusBarText(QStatusBar* bar) {
    auto* text = bar->findChild<QLabel*>("SimpleText");
    if (text == nullptr) {
        text = new QLabel;
        text->setObjectName("SimpleText");
        bar->addWidget(text, 1);
    }
    return text;
}

ClickLabel* LogoLabel(QWidget* band) {
    auto* logo = new ClickLabel(band);
    logo->setObjectName("imgLogo");
    logo->setPixmap(LogoPixmap(32));
    logo->setScaledContents(true);
    logo->setCursor(Qt::PointingHandCursor);
    logo->resize(32, 32);
    return logo;
}

void SetTextColour(QWidget* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QColor TextColour(const QWidget* label) {
    return label->palette().color(QPalette::WindowText);
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace orm::ui
