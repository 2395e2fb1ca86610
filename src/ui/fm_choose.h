// The drive chooser: a modal list of the drives the probe accepted.
#pragma once

#include <QDialog>

#include "common/sinks.h"
#include "discovery/device_table.h"
#include "platform/kernel_services.h"
#include "shell/chooser_rows.h"
#include "shell/main_window.h"
#include "ui/design_scale.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace orm::ui {

class ClickLabel;

class TFmChoose : public QDialog, public ChooserView {
    Q_OBJECT
  public:
    TFmChoose(KernelServices& ks, RunState& state, Regional& regional, MessageBoxes& boxes,
              QWidget* parent = nullptr);

    // Fills the list from the device table, shows the chooser modally and answers whether a
    // drive was chosen (ChosenIndex then designates it).
    bool ChooseDevice() override;

    // Start-up's part: the logo's place from the band's present size, the copyright line and
    // the status text.
    void PlaceLogo() override;
    void SetCopyright(const std::string& line) override;
    void SetStatusText(const std::string& text) override;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void DriveListClick();
    void DriveListDblClick(QTreeWidgetItem* item);
    void btContinueClick();
    void Label1MouseDown(Qt::MouseButton button);
    void Label1MouseUp(Qt::MouseButton button);
    void OpenMakerPage();

    KernelServices& m_ks;
    RunState& m_state;
    Regional& m_regional;
    MessageBoxes& m_boxes;
    DesignScale m_scale;

    QWidget* Panel4 = nullptr;
    QLabel* lbProgramName = nullptr;
    ClickLabel* Label1 = nullptr;
    ClickLabel* imgLogo = nullptr;
    QTreeWidget* DriveList = nullptr;
    QLabel* lbCopyright = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* btContinue = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* m_statusText = nullptr;
};

}  // namespace orm::ui
