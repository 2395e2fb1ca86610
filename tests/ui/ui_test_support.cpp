#include "ui_test_support.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

#include "platform/sim/ata_blocks.h"

namespace orm::uitest {

Harness::Harness(SleepBlocker* sleep) : fatal(boxes, [this](int code) { exitCodes.push_back(code); }) {
    main = std::make_unique<ui::TFmMain>(
        ShellServices{sim, state, regional, boxes, fatal, setup, sleep != nullptr ? *sleep : sleepRecorder});
    chooser = std::make_unique<ui::TFmChoose>(sim, state, regional, boxes);
}

Harness::~Harness() {
    chooser.reset();
    main.reset();
}

void AddAtaDrive(sim::SimPlatform& sim, unsigned number, std::int64_t sectors, const std::string& model) {
    sim.AddDrive(number)
        .Bus(3)
        .Sectors(sectors)
        .Product(model)
        .Revision("3.06")
        .Serial("SN" + std::to_string(number))
        .Identify(sim::IdentifyBlock()
                      .Model(model)
                      .Firmware("3.06")
                      .Serial("SN" + std::to_string(number))
                      .Lba28(static_cast<std::uint32_t>(sectors))
                      .Build());
}

QString StatusPanelText(const QWidget& main, int panel) {
    return main.findChild<QLabel*>(QString("StatusPanel%1").arg(panel))->text();
}

ModalWait::ModalWait(std::function<void(QDialog&)> act, int timeoutMs) : m_timer(new QTimer) {
    QTimer* timer = m_timer;
    auto waited = std::make_shared<int>(0);
    constexpr int kPollMs = 20;
    QObject::connect(timer, &QTimer::timeout, [timer, waited, act, timeoutMs] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->isVisible()) {
            timer->stop();
            act(*dialog);
            return;
        }
        *waited += kPollMs;
        if (*waited >= timeoutMs) timer->stop();
    });
    timer->start(kPollMs);
}

ModalWait::~ModalWait() {
    delete m_timer;
}

}  // namespace orm::uitest
