#include "link/PortList.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace lumvaris::link {
namespace {

const std::string& NameOf(const std::string& name) {
    return name;
}
const std::string& NameOf(const PortInfo& port) {
    return port.name;
}

template <typename Entry>
std::vector<Entry> OrderByName(std::vector<Entry> entries) {
    std::size_t next = 0;
    for (int n = 1; n <= 256; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const auto found = std::find_if(entries.begin() + static_cast<std::ptrdiff_t>(next), entries.end(),
                                        [&](const Entry& entry) { return NameOf(entry) == name; });
        if (found != entries.end()) {
            std::swap(entries[next], *found);
            ++next;
        }
    }
    return entries;
}

bool ContainsIgnoringCase(const std::string& text, const std::string& part) {
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return found != text.end();
}

}  // namespace

std::vector<std::string> OrderPortList(std::vector<std::string> names) {
    return OrderByName(std::move(names));
}

std::vector<PortInfo> OrderPortList(std::vector<PortInfo> ports) {
    return OrderByName(std::move(ports));
}

std::string PortDescription(const PortInfo& port) {
    std::string text = port.description;
    // Drivers often repeat the maker in the product's name ("FTDI FT232R").
    if (!port.manufacturer.empty() && !ContainsIgnoringCase(text, port.manufacturer)) {
        text += (text.empty() ? "" : ", ") + port.manufacturer;
    }
    const bool isLink = port.name.find('/') != std::string::npos;
    if (isLink && !port.systemLocation.empty() && port.systemLocation != port.name) {
        text += (text.empty() ? "→ " : " → ") + port.systemLocation;
    }
    return text;
}

}  // namespace lumvaris::link
