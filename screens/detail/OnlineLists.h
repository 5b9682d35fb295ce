#pragma once
// What the online pages share: the friends copied from the service in name
// order, and the list paging of their lists.

#include "userdata/MonitoringSystem.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Ui {
class ButtonBindings;
class List;
class fdWindowBase;
} // namespace Ui

namespace Screens::detail {

using FriendEntries = std::vector<std::pair<std::uint32_t, Monitoring::Friend>>;

// The service's friends sorted by name (UTF-16 code units ascending; equal
// names by token). Empty without a service.
FriendEntries sortedFriends(const Monitoring::System* service);

// Replaces the model's friends: the first visible row stays when the count
// is unchanged, otherwise the list goes back to the top.
void replaceFriends(FriendEntries& held, FriendEntries fresh, Ui::List& model);

// The page's list keys: bound up / down scroll the model one row. True when
// the key was one of them.
bool scrollByKey(const Ui::ButtonBindings* bindings, int key, Ui::List* model);

} // namespace Screens::detail
