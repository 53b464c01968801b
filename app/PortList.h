#pragma once

#include <string>
#include <vector>

namespace lumvaris::app {

// The port list of the port field: the names as the system reports them, then for n = 1..256 the
// name "COM<n>", when present, is exchanged into the next place from the top. So COM1..COM256 come
// first in ascending number and the other names follow.
std::vector<std::string> OrderPortList(std::vector<std::string> names);

}  // namespace lumvaris::app
