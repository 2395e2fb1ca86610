#include "helper/drive_list.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "helper/sysfs_attr.h"

namespace orm::helper {

namespace {

namespace fs = std::filesystem;

// Disk families in the order the drives are numbered; a name belongs to the first family
// whose prefix it starts with. "" takes every other name.
constexpr std::array<std::string_view, 8> kFamilies = {"hd", "sd", "nvme", "vd", "xvd", "mmcblk", "loop", ""};

std::size_t FamilyOf(std::string_view name) {
    for (std::size_t i = 0; i < kFamilies.size(); ++i) {
        if (name.starts_with(kFamilies[i])) return i;
    }
    return kFamilies.size() - 1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view NextRun(std::string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    const bool digits = IsDigit(s[pos]);
    while (pos < s.size() && IsDigit(s[pos]) == digits) ++pos;
    return s.substr(start, pos - start);
}

// -1, 0 or 1 as a is before, equal to or after b.
int CompareDigitRuns(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareTextRuns(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    const std::size_t familyA = FamilyOf(a);
    const std::size_t familyB = FamilyOf(b);
    if (familyA != familyB) return familyA < familyB;
    const std::size_t skip = kFamilies[familyA].size();
    const std::string_view restA = std::string_view(a).substr(skip);
    const std::string_view restB = std::string_view(b).substr(skip);
    std::size_t posA = 0;
    std::size_t posB = 0;
    while (posA < restA.size() && posB < restB.size()) {
        const bool digitsA = IsDigit(restA[posA]);
        const bool digitsB = IsDigit(restB[posB]);
        if (digitsA != digitsB) return digitsA;
        const std::string_view runA = NextRun(restA, posA);
        const std::string_view runB = NextRun(restB, posB);
        const int c = digitsA ? CompareDigitRuns(runA, runB) : CompareTextRuns(runA, runB);
        if (c != 0) return c < 0;
    }
    if ((posA < restA.size()) != (posB < restB.size())) return posA >= restA.size();
    // Equal by runs ("sd01" and "sd1"): plain byte order keeps the order strict.
    return a < b;
}

bool IsDriveName(const std::string& sysRoot, const std::string& name) {
    static constexpr std::string_view kNeverDrives[] = {"ram", "zram", "dm-", "md", "sr"};
    for (std::string_view prefix : kNeverDrives) {
        if (std::string_view(name).starts_with(prefix)) return false;
    }
    const std::string dir = sysRoot + "/block/" + name;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return false;
    if (fs::exists(dir + "/partition", ec)) return false;
    if (ReadAttr(dir + "/ro").value_or("1") != "0") return false;
    if (ReadAttr(dir + "/hidden").value_or("0") == "1") return false;
    // A card reader without its card keeps its disk, with size 0: there is nothing to wipe.
    if (ReadAttr(dir + "/size").value_or("") == "0") return false;
    if (ReadAttr(dir + "/removable").value_or("0") == "1" &&
        ReadAttr(dir + "/device/type").value_or("") == "5") {
        return false;
    }
    if (std::string_view(name).starts_with("loop")) {
        // An unattached loop device has no loop/ directory; an attached one names its file.
        const std::string backing = ReadAttr(dir + "/loop/backing_file").value_or("");
        if (backing.empty()) return false;
    }
    return true;
}

std::string DevicePathOf(const std::string& name) {
    std::string path = "/dev/" + name;
    std::replace(path.begin(), path.end(), '!', '/');
    return path;
}

std::vector<std::string> ListDriveNames(const std::string& sysRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(sysRoot + "/block", ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsDriveName(sysRoot, name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

}  // namespace orm::helper
