// Where the demo's simulated drives come from and where their bytes live.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orm::ui {

// The drive description: the path given on the command line, else drives.json beside the
// executable (the build tree), else the installed one in the share folder, else the one in the
// source tree the demo was built from.
QString DemoDrivesPath(const QStringList& arguments);

// A temporary folder for the drives' image files, removed when the demo ends, on the fatal
// path as well (which skips destructors).
class DemoStorage {
  public:
    DemoStorage();
    bool IsValid() const { return m_dir.isValid(); }
    QString Path() const { return m_dir.path(); }
    void Remove() { m_dir.remove(); }
    // Removes the folder on SIGINT, SIGTERM and SIGHUP too, then ends the process (the signal's
    // usual end gives the folder no chance).
    void RemoveOnSignals();

  private:
    QTemporaryDir m_dir;
};

}  // namespace orm::ui
