// Start-up as an ordinary user when the drive helper does not start: one error box saying why,
// then a non-zero exit code, and no helper attached. pkexec is replaced by a script that ends
// as pkexec does when the password prompt is dismissed, ended by end-of-file (pkexec stops with
// SIGTRAP) or interrupted, or authorization is refused.
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/helper_start_text.h"
#include "ui/drive_access.h"
#include "ui/qt_sinks.h"
#include "ui_test_support.h"

using namespace orm;

class DriveAccessTest : public QObject {
    Q_OBJECT
  private slots:
    void RefusedAuthorizationShowsOneBoxAndEndsNonZero_data();
    void RefusedAuthorizationShowsOneBoxAndEndsNonZero();
};

void DriveAccessTest::RefusedAuthorizationShowsOneBoxAndEndsNonZero_data() {
    QTest::addColumn<QString>("pkexecScript");  // empty: no pkexec at all
    QTest::addColumn<QString>("says");
    QTest::newRow("prompt dismissed (126)") << "exit 126"
                                            << "password prompt was cancelled";
    QTest::newRow("end of file at the prompt") << "kill -TRAP $$"
                                               << "password prompt was cancelled";
    QTest::newRow("interrupt at the prompt") << "kill -INT $$"
                                             << "password prompt was cancelled";
    QTest::newRow("not authorized (127)") << "exit 127"
                                          << "not authorized";
    QTest::newRow("no pkexec") << ""
                               << "pkexec could not be started";
}

void DriveAccessTest::RefusedAuthorizationShowsOneBoxAndEndsNonZero() {
    QFETCH(QString, pkexecScript);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pkexec = dir.filePath("pkexec");
    if (!pkexecScript.isEmpty()) {
        QFile script(pkexec);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\n" + pkexecScript + "\n").toUtf8());
        script.close();
        QVERIFY(
            script.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    }

    int boxes = 0;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    uitest::ModalWait wait([&](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ++boxes;
        if (box != nullptr) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
        }
        dialog.accept();
    });
    lnx::LinuxKernelServices ks;
    ui::QtMessageBoxes qtBoxes;
    const int code = ui::StartDriveAccess(ks, qtBoxes, false, pkexec.toStdString(), "/bin/true");

    QCOMPARE(code, ui::kFatalExitCode);
    QCOMPARE(boxes, 1);
    QCOMPARE(caption, QString(orm::kHelperStartCaption));
    QVERIFY2(text.contains(says), qPrintable(text));
    QVERIFY(text.contains("No drive was touched") || text.contains("without touching any drive"));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY(!ks.HasHelper());
}

QTEST_MAIN(DriveAccessTest)
#include "tst_drive_access.moc"
