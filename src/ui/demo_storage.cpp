#include "ui/demo_storage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace orm::ui {

DemoStorage::DemoStorage() : m_dir(QDir::tempPath() + "/ormandel-demo-XXXXXX") {}

QString DemoDrivesPath(const QStringList& arguments) {
    if (arguments.size() > 1) return arguments.at(1);
    const QString beside = QCoreApplication::applicationDirPath() + "/drives.json";
    if (QFile::exists(beside)) return beside;
    return QStringLiteral(ORMANDEL_DEMO_DIR "/drives.json");
}

}  // namespace orm::ui
