#pragma once
// The keys of config.xml that this program reads or writes somewhere: what
// Config keeps whatever else the file holds. A setting is read where it is
// used (a page's settings when it opens, the routing settings when a route
// is computed), so a run that opens neither leaves them unread; without this
// list a file crowded with unknown keys sorting before them would lose
// them at the next save. A new setting joins the list;
// tests/app/Menus_test.cpp and tests/app/DriveLog_test.cpp find one that did
// not.

#include <functional>
#include <set>
#include <string>

namespace engine {

std::set<std::string, std::less<>> settingKeys();

} // namespace engine
