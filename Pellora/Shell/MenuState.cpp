#include "MenuState.h"

namespace pellora {

void MenuState::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    emit busyChanged(busy);
}

} // namespace pellora
