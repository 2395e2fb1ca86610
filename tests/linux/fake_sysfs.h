// A throwaway sysfs tree in a temporary directory, for the drive-list and device-info tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <unistd.h>

namespace orm::lnx::test {

class FakeSysfs {
  public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orm-sysfs-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data()) ? pattern : std::string();
        std::filesystem::create_directories(m_root + "/block");
    }
    ~FakeSysfs() {
        std::error_code ec;
        if (!m_root.empty()) std::filesystem::remove_all(m_root, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    const std::string& Root() const { return m_root; }

    // A disk under devices/<devicePath>/block/<name>, linked from block/<name> as the kernel
    // does; attrs are files relative to the disk's directory ("ro", "device/model"). Unless
    // devicePath is "virtual", device/ is a link to devices/<devicePath>.
    void AddDisk(const std::string& name, const std::map<std::string, std::string>& attrs,
                 const std::string& devicePath = "virtual") {
        const std::string dir = m_root + "/devices/" + devicePath + "/block/" + name;
        std::filesystem::create_directories(dir);
        if (devicePath != "virtual") {
            // The disk's "device" link leads to the SCSI (or NVMe) device it sits on.
            std::filesystem::create_directory_symlink(m_root + "/devices/" + devicePath, dir + "/device");
        }
        for (const auto& [file, text] : attrs) Write(dir + "/" + file, text);
        std::filesystem::create_directory_symlink(dir, m_root + "/block/" + name);
    }

    // A plain file anywhere in the tree.
    void Write(const std::string& path, const std::string& text) {
        const std::string full = path.rfind(m_root, 0) == 0 ? path : m_root + "/" + path;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary) << text;
    }

  private:
    std::string m_root;
};

}  // namespace orm::lnx::test
