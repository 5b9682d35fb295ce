#include "screens/detail/OnlineLists.h"

#include "ui/ButtonBindings.h"
#include "ui/ListModels.h"
#include "ui/fdList.h"
#include "ui/fdWindowBase.h"

#include <SDL.h>

#include <algorithm>

namespace Screens::detail {

FriendEntries sortedFriends(const Monitoring::System* service) {
    FriendEntries out;
    if (service == nullptr)
        return out;
    service->getFriends(out);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second.name < b.second.name; });
    return out;
}

void replaceFriends(FriendEntries& held, FriendEntries fresh, Ui::List& model) {
    const bool sameCount = fresh.size() == held.size();
    const std::int32_t first = model.firstVisibleIndex();
    held = std::move(fresh);
    model.list().select(-1);
    if (sameCount && first > 0)
        model.scrollTo(first);
    else
        model.scrollTo(0);
    // scrollTo leaves an empty list's rows as they were.
    model.refresh();
}

bool scrollByKey(const Ui::ButtonBindings* bindings, int key, Ui::List* model) {
    if (bindings == nullptr)
        return false;
    SDL_keysym keysym{};
    keysym.sym = static_cast<SDLKey>(key);
    if (bindings->isUpKey(keysym)) {
        if (model != nullptr)
            model->scrollUp();
        return true;
    }
    if (bindings->isDownKey(keysym)) {
        if (model != nullptr)
            model->scrollDown();
        return true;
    }
    return false;
}

} // namespace Screens::detail
