#include "PortList.h"

#include <algorithm>
#include <utility>

namespace lumvaris::app {

std::vector<std::string> OrderPortList(std::vector<std::string> names) {
    std::size_t next = 0;
    for (int n = 1; n <= 256; ++n) {
        const std::string name = "COM" + std::to_string(n);
        const auto found = std::find(names.begin() + static_cast<std::ptrdiff_t>(next), names.end(), name);
        if (found != names.end()) {
            std::swap(names[next], *found);
            ++next;
        }
    }
    return names;
}

}  // namespace lumvaris::app
