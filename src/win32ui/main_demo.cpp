// ormandel-demo.exe: the same program on simulated drives described by drives.json beside the
// executable, so it can be tried without administrator rights and without touching a drive.
#include <filesystem>
#include <string>

#include "platform/sim/sim_platform.h"
#include "win32ui/win32_demo_platform.h"
#include "win32ui/program.h"

namespace {

std::string ExecutableFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string();
}

// A fresh folder for the drives' image files, under the user's temporary folder.
std::string MakeStorageFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / ("ormandel-demo-" + std::to_string(GetCurrentProcessId()));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return error ? std::string() : folder.string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::string storage = MakeStorageFolder();
    auto removeStorage = [storage] {
        std::error_code error;
        if (!storage.empty()) std::filesystem::remove_all(storage, error);
    };
    const std::string drives = ExecutableFolder() + "\\drives.json";

    orm::win32ui::DemoPlatform sim;
    std::string error = "cannot create a temporary folder";
    if (storage.empty() || !orm::sim::LoadDrivesFromJson(sim, drives, storage, &error)) {
        const std::string text = "Cannot load the demo drives from " + drives + ": " + error;
        MessageBoxA(nullptr, text.c_str(), "Ormandel demo", MB_OK | MB_ICONERROR);
        removeStorage();
        return 1;
    }
    const int code = orm::win32ui::RunProgram(instance, sim, [&removeStorage](UINT exitCode) {
        removeStorage();
        orm::win32ui::ExitNow(exitCode);
    });
    removeStorage();
    return code;
}
