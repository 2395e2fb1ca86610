#include "ui/demo_storage.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdio>

namespace orm::ui {

namespace {

// What the signal handler removes, prepared beforehand: it may only make async-signal-safe calls.
// The drives' image files are named drive<n>.img (n = 0 to 255) and made on first use.
constexpr int kMaxImages = 256;
char g_folder[4096];
char g_images[kMaxImages][4096 + 16];

extern "C" void RemoveAndEnd(int signalNumber) {
    for (const char* image : g_images) ::unlink(image);
    ::rmdir(g_folder);
    ::_exit(128 + signalNumber);
}

}  // namespace

DemoStorage::DemoStorage() : m_dir(QDir::tempPath() + "/ormandel-demo-XXXXXX") {}

void DemoStorage::RemoveOnSignals() {
    const QByteArray folder = QFile::encodeName(m_dir.path());
    if (!m_dir.isValid() || static_cast<std::size_t>(folder.size()) >= sizeof g_folder) return;
    std::snprintf(g_folder, sizeof g_folder, "%s", folder.constData());
    for (int n = 0; n < kMaxImages; ++n) {
        std::snprintf(g_images[n], sizeof g_images[n], "%s/drive%d.img", folder.constData(), n);
    }
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, RemoveAndEnd);
}

QString DemoDrivesPath(const QStringList& arguments) {
    if (arguments.size() > 1) return arguments.at(1);
    const QString beside = QCoreApplication::applicationDirPath() + "/drives.json";
    if (QFile::exists(beside)) return beside;
    const QString installed = QStringLiteral(ORMANDEL_DEMO_INSTALLED_DIR "/drives.json");
    if (QFile::exists(installed)) return installed;
    return QStringLiteral(ORMANDEL_DEMO_DIR "/drives.json");
}

}  // namespace orm::ui
