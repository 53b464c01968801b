#include "PortDiscovery.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>

#if defined(__unix__)
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumvaris::link {

#if defined(__unix__)
namespace {

struct LinkEntry {
    std::string path;
    struct stat link;    // of the link itself
    struct stat device;  // of what it leads to
    std::string target;  // the canonical path of that
};

// The symbolic links of a directory whose names start with prefix and that lead to character
// devices.
std::vector<LinkEntry> DeviceLinks(const std::string& directory, const std::string& prefix) {
    std::vector<LinkEntry> links;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
    if (!dir) {
        return links;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        LinkEntry link;
        link.path = directory + "/" + name;
        if (lstat(link.path.c_str(), &link.link) != 0 || !S_ISLNK(link.link.st_mode)) {
            continue;
        }
        const std::unique_ptr<char, void (*)(void*)> target(realpath(link.path.c_str(), nullptr), std::free);
        if (!target || stat(target.get(), &link.device) != 0 || !S_ISCHR(link.device.st_mode)) {
            continue;
        }
        link.target = target.get();
        links.push_back(std::move(link));
    }
    std::sort(links.begin(), links.end(),
              [](const LinkEntry& a, const LinkEntry& b) { return a.path < b.path; });
    return links;
}

// Whether a link is no older than the device it leads to. Some file systems keep whole seconds
// (or two), so a link made just after its pseudo-terminal may carry an earlier time: the margin
// is far below the age of a link that a killed simulator left behind.
bool NotOlderThan(const struct stat& link, const struct stat& device) {
    constexpr long long kMarginNs = 2'000'000'000;
    const auto ns = [](const timespec& t) {
        return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return ns(link.st_mtim) + kMarginNs >= ns(device.st_ctim);
}

}  // namespace

std::vector<PortInfo> StableNames(const std::string& directory, const std::vector<PortInfo>& systemPorts) {
    std::vector<PortInfo> ports;
    for (const LinkEntry& link : DeviceLinks(directory, std::string())) {
        const auto system = std::find_if(systemPorts.begin(), systemPorts.end(), [&](const PortInfo& port) {
            return port.systemLocation == link.target;
        });
        PortInfo port = system != systemPorts.end() ? *system : PortInfo{};
        port.name = link.path;
        port.systemLocation = link.target;
        ports.push_back(std::move(port));
    }
    return ports;
}

std::vector<PortInfo> SimulatorLinks(const std::string& directory) {
    std::vector<PortInfo> ports;
    for (const LinkEntry& link : DeviceLinks(directory, kSimulatorLinkPrefix)) {
        // A pseudo-terminal's node is made when its master is opened; the simulator links it after.
        if (link.link.st_uid != geteuid() || link.target.rfind("/dev/pts/", 0) != 0 ||
            !NotOlderThan(link.link, link.device)) {
            continue;
        }
        PortInfo port;
        port.name = link.path;
        port.description =
            QCoreApplication::translate("link::PortDiscovery", kSimulatorDescription).toStdString();
        port.systemLocation = link.target;
        ports.push_back(std::move(port));
    }
    return ports;
}

#else

std::vector<PortInfo> StableNames(const std::string&, const std::vector<PortInfo>&) {
    return {};
}
std::vector<PortInfo> SimulatorLinks(const std::string&) {
    return {};
}

#endif

}  // namespace lumvaris::link
