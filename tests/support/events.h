// The fixtures' journal read as a sequence of events, for tests that assert
// the order of what happened across processes.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "wine_test.h"

namespace wt {

// Journal lines reduced to "<who> [<name>] <event>", in order: window
// positions, working folders and other details are left out.
std::vector<std::string> Events(const Journal& journal);
// The four events of one uninstaller driven to its end.
std::vector<std::string> Uninstalled(const std::string& name);
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts);

}  // namespace wt
