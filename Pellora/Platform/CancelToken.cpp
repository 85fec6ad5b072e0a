#include "CancelToken.h"

#include <map>

namespace pellora {

struct CancelToken::State {
    bool cancelled = false;
    std::uint64_t nextSubscription = 1;
    std::map<std::uint64_t, std::function<void()>> subscribers;
};

CancelToken CancelToken::create() {
    CancelToken token;
    token.state_ = std::make_shared<State>();
    return token;
}

void CancelToken::cancel() {
    if (!state_ || state_->cancelled)
        return;
    state_->cancelled = true;
    // One at a time from the live map: a callback may resume code that unsubscribes others.
    const auto keepAlive = state_;
    while (!keepAlive->subscribers.empty()) {
        auto first = keepAlive->subscribers.begin();
        auto callback = std::move(first->second);
        keepAlive->subscribers.erase(first);
        callback();
    }
}

bool CancelToken::isCancelled() const { return state_ && state_->cancelled; }

std::uint64_t CancelToken::subscribe(std::function<void()> callback) const {
    if (!state_ || state_->cancelled)
        return 0;
    const auto id = state_->nextSubscription++;
    state_->subscribers.emplace(id, std::move(callback));
    return id;
}

void CancelToken::unsubscribe(std::uint64_t subscription) const {
    if (state_)
        state_->subscribers.erase(subscription);
}

} // namespace pellora
