#include "ui/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

namespace orm::ui {

namespace {

constexpr const char* kWindowFamily = "Tahoma";
constexpr const char* kMemoFamily = "Courier New";

// fontconfig does not scan this folder, so the file is added to the application directly. Its
// bold companion is left out: it is drawn no heavier than the regular face, only wider, so bold
// labels are emboldened from the regular face instead.
constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf"};

}  // namespace

DesignScale ScreenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return DesignScale(screen != nullptr ? screen->logicalDotsPerInch() : kDesignDpi);
}

void InstallFonts() {
    for (const char* file : kTahomaFiles) {
        if (QFile::exists(file)) QFontDatabase::addApplicationFont(file);
    }
    QFont::insertSubstitutions(kWindowFamily, {"DejaVu Sans", "Liberation Sans", "Arial"});
    QFont::insertSubstitutions(kMemoFamily, {"Liberation Mono", "Cousine", "DejaVu Sans Mono"});
}

QFont WindowFont(const DesignScale& scale, int designHeight, bool bold) {
    QFont font(kWindowFamily);
    font.setPixelSize(scale(designHeight));
    font.setBold(bold);
    return font;
}

QFont MemoFont(const DesignScale& scale, int designHeight) {
    QFont font(kMemoFamily);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(scale(designHeight));
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(scale(designHeight));
    }
    return font;
}

}  // namespace orm::ui
