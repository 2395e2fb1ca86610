// The wipe through the main window holds a logind inhibitor lock from the Yes to the closing box,
// on every way out. Runs against a mock logind on a private system bus that logind_test.sh
// starts; without it the test skips.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "platform/win_layouts.h"
#include "ui/logind_inhibitor.h"
#include "ui_test_support.h"

using namespace orm;

namespace {

struct Inhibitor {
    QString what, who, why, mode;
};

// logind's own list of the locks held, from the mock.
QList<Inhibitor> ListInhibitors(QDBusConnection& bus) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "ListInhibitors"));
    QList<Inhibitor> list;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("ListInhibitors: %s", qPrintable(reply.errorMessage()));
        return list;
    }
    const auto arg = reply.arguments().first().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        Inhibitor i;
        uint uid = 0, pid = 0;
        arg.beginStructure();
        arg >> i.what >> i.who >> i.why >> i.mode >> uid >> pid;
        arg.endStructure();
        list << i;
    }
    arg.endArray();
    return list;
}

// The mock drops a lock when it sees the descriptor close, before it answers a later call.
bool NoneHeld(QDBusConnection& bus) {
    return ListInhibitors(bus).isEmpty();
}

}  // namespace

class LogindInhibitTest : public QObject {
    Q_OBJECT
  private slots:
    void HeldFromTheYesToTheClosingBox_data();
    void HeldFromTheYesToTheClosingBox();
    void WithoutLogindTheWipeRunsAsBefore();
};

void LogindInhibitTest::HeldFromTheYesToTheClosingBox_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("done") << "done"
                          << "Wipe is done.";
    QTest::newRow("errors") << "errors"
                            << "Wipe finished with errors";
    QTest::newRow("vanished drive") << "vanished"
                                    << "no longer connected";
    QTest::newRow("window closed") << "closed"
                                   << "Wipe stopped at offset";
}

void LogindInhibitTest::HeldFromTheYesToTheClosingBox() {
    QFETCH(QString, way);
    QFETCH(QString, lastLine);
    const QByteArray address = qgetenv("ORMANDEL_TEST_SYSTEM_BUS");
    if (address.isEmpty()) QSKIP("needs the private bus and mock logind of tests/ui/logind_test.sh");
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address), "orm-test-" + way);
    QVERIFY2(bus.isConnected(), qPrintable(bus.lastError().message()));
    QVERIFY(NoneHeld(bus));

    ui::LogindInhibitor inhibitor(bus);
    uitest::Harness h(&inhibitor);
    uitest::AddAtaDrive(h.sim, 0, 70000, "DISK");
    {
        uitest::ModalWait wait([](QDialog& d) { d.findChild<QPushButton*>("btContinue")->click(); });
        QVERIFY(h.main->FormShow(*h.chooser) == ShowResult::Opened);
    }
    if (way == "errors") h.sim.Drive(0).faults.writeFails[3 * 524288] = win::ERROR_CRC;
    if (way == "vanished") h.sim.Drive(0).faults.vanishAt = 5 * 524288;
    h.main->show();
    h.boxes.confirmAnswer = true;

    QList<Inhibitor> during, atTheBox;
    bool boxShown = false;
    h.boxes.onShow = [&] {
        boxShown = true;
        atTheBox = ListInhibitors(bus);
    };
    // Fires in the wipe's first pump, after the Yes and before most of the writes.
    QTimer::singleShot(0, [&] {
        during = ListInhibitors(bus);
        if (way == "closed") h.main->close();
    });
    h.main->findChild<QPushButton*>("btRunBenchmarks")->click();

    QCOMPARE(during.size(), 1);
    QCOMPARE(during[0].what, QString("sleep:idle:shutdown"));
    QCOMPARE(during[0].who, QString("Ormandel"));
    QCOMPARE(during[0].why, QString("Wiping DISK    3.06    [35.84 Mbytes]"));
    QCOMPARE(during[0].mode, QString("block"));
    QCOMPARE(boxShown, way != "closed");
    QVERIFY2(atTheBox.isEmpty(), "released before the closing box goes up");
    QVERIFY(NoneHeld(bus));
    QVERIFY(!inhibitor.Held());
    QVERIFY(h.main->findChild<QPlainTextEdit*>("Log_BenchMark")->toPlainText().contains(lastLine));
}

void LogindInhibitTest::WithoutLogindTheWipeRunsAsBefore() {
    // A bus without logind on it, and no bus at all.
    const QByteArray address = qgetenv("ORMANDEL_TEST_EMPTY_BUS");
    if (address.isEmpty()) QSKIP("needs the private buses of tests/ui/logind_test.sh");
    for (const QString& where : {QString::fromUtf8(address), QString("unix:path=/nonexistent/bus")}) {
        ui::LogindInhibitor inhibitor(QDBusConnection::connectToBus(where, "orm-test-empty-" + where));
        uitest::Harness h(&inhibitor);
        uitest::AddAtaDrive(h.sim, 0, 70000, "DISK");
        {
            uitest::ModalWait wait([](QDialog& d) { d.findChild<QPushButton*>("btContinue")->click(); });
            QVERIFY(h.main->FormShow(*h.chooser) == ShowResult::Opened);
        }
        h.boxes.confirmAnswer = true;
        h.main->findChild<QPushButton*>("btRunBenchmarks")->click();
        QVERIFY(!inhibitor.Held());
        QVERIFY(h.sim.IsZero(0, 0, 70000LL * 512));
        QCOMPARE(h.boxes.confirms.size(), size_t(1));
        QCOMPARE(h.boxes.shown.size(), size_t(1));  // the closing box, no other
        QCOMPARE(h.boxes.shown.back().caption, std::string("Format"));
    }
}

QTEST_MAIN(LogindInhibitTest)
#include "tst_logind_inhibit.moc"
