#pragma once

#include <string>

#include "platform/sim/demo_drives.h"
#include "platform/windows/windows_kernel_services.h"

namespace orm::win32ui {

// Simulated drives with this machine's clocks; the maker's web page is opened through the Windows
// shell, owned by the window that asks for it.
class DemoPlatform : public sim::DemoDrives<windows::WindowsKernelServices>, public windows::ShellOwned {
  public:
    void SetShellOwner(HWND owner) override { m_shell.SetShellOwner(owner); }
    bool OpenWebAddress(const std::string& address) override { return m_shell.OpenWebAddress(address); }

  private:
    windows::WindowsKernelServices m_shell;
};

}  // namespace orm::win32ui
