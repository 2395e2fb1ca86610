// Loop devices that a test attaches over image files of its own and always detaches, and a
// mount that is always undone. They need root; Available() says why not when they cannot run.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace orm::lnx::test {

// Runs a shell command; returns its exit status and its first line of output.
inline int RunCommand(const std::string& command, std::string* firstLine = nullptr) {
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    while (std::fgetc(pipe) != EOF) {
    }
    const int status = ::pclose(pipe);
    if (firstLine != nullptr) {
        *firstLine = got ? line : "";
        while (!firstLine->empty() && (firstLine->back() == '\n' || firstLine->back() == ' '))
            firstLine->pop_back();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orm-loop-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

// Why loop devices cannot be used here, or "" when they can.
inline std::string LoopUnavailableReason() {
    if (::geteuid() != 0) return "needs root to attach loop devices";
    if (RunCommand("command -v losetup") != 0) return "losetup (util-linux) is missing";
    if (!std::filesystem::exists("/dev/loop-control")) return "the kernel has no loop device support";
    return {};
}

class LoopDevice {
  public:
    // Creates a sparse image of `bytes` in dir and attaches it; Path() is empty on failure.
    // extraOptions go to losetup as they are ("--partscan"); an existing image keeps its
    // bytes and only takes the size.
    LoopDevice(const std::string& dir, const std::string& imageName, std::uint64_t bytes, unsigned sectorSize,
               bool readOnly, const std::string& extraOptions = "") {
        m_image = dir + "/" + imageName;
        if (RunCommand("truncate -s " + std::to_string(bytes) + " '" + m_image + "'") != 0) return;
        std::string options = "--find --show --sector-size " + std::to_string(sectorSize);
        if (readOnly) options += " --read-only";
        if (!extraOptions.empty()) options += " " + extraOptions;
        std::string device;
        if (RunCommand("losetup " + options + " '" + m_image + "'", &device) == 0 &&
            device.rfind("/dev/loop", 0) == 0) {
            m_device = device;
        }
    }
    ~LoopDevice() {
        if (!m_device.empty()) RunCommand("losetup -d " + m_device);
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    const std::string& Path() const { return m_device; }
    const std::string& Image() const { return m_image; }
    std::string Name() const { return m_device.empty() ? std::string() : m_device.substr(5); }

  private:
    std::string m_image;
    std::string m_device;
};

class Mount {
  public:
    Mount(const std::string& device, const std::string& dir) : m_dir(dir) {
        m_mounted = RunCommand("mount " + device + " '" + dir + "'") == 0;
    }
    ~Mount() {
        if (m_mounted) RunCommand("umount '" + m_dir + "'");
    }
    Mount(const Mount&) = delete;
    Mount& operator=(const Mount&) = delete;
    bool Mounted() const { return m_mounted; }

  private:
    std::string m_dir;
    bool m_mounted = false;
};

}  // namespace orm::lnx::test
