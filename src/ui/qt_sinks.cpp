#include "ui/qt_sinks.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace orm::ui {

namespace {

// Drops the time-zone letters ('t') outside quoted literal text, then the blanks they leave.
QString WithoutTimeZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') continue;
        out += c;
    }
    return out.simplified();
}

QMessageBox::Icon QtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void MemoSink::Line(const std::string& text) {
    m_memo->appendPlainText(ToQt(text));
    // The memo has no horizontal scroll bar, so nothing could bring back the start of the lines
    // once the view went sideways: the cursor waits at the start of the last line (the view
    // follows it down, not across) and the view stays at column 0.
    QTextCursor cursor(m_memo->document()->lastBlock());
    m_memo->setTextCursor(cursor);
    m_memo->horizontalScrollBar()->setValue(0);
}

void ProgressBarSink::SetPosition(int percent) {
    m_bar->setValue(percent);
}

CivilTime QtRegional::Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return CivilTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

std::string QtRegional::ShortDate(const CivilTime& t) {
    return FromQt(QLocale::system().toString(QDate(t.year, t.month, t.day), QLocale::ShortFormat));
}

std::string QtRegional::LongTime(const CivilTime& t) {
    const QLocale locale = QLocale::system();
    return FromQt(locale.toString(QTime(t.hour, t.minute, t.second),
                                  WithoutTimeZone(locale.timeFormat(QLocale::LongFormat))));
}

char QtRegional::DecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point[0].unicode() < 0x80) return static_cast<char>(point[0].unicode());
    return '.';
}

void QtMessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon) {
    QMessageBox box(QtIcon(icon), ToQt(caption), ToQt(text), QMessageBox::Ok);
    box.exec();
}

bool QtMessageBoxes::Confirm(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtFatalSink::Fatal(const std::string& text, const std::string& caption) {
    m_boxes.Show(text, caption, BoxIcon::Error);
    m_exit(kFatalExitCode);
}

bool QtMessagePump::Pump() {
    QCoreApplication::processEvents();
    return m_state.DeviceHandle != kNoHandle;
}

}  // namespace orm::ui
