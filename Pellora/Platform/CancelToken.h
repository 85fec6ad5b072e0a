#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace pellora {

// Thrown by a cancellable wait whose token fired.
class Cancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Lets the starter of a task cancel its waits. A default-constructed token never fires;
// copies share one state. Main thread only.
class CancelToken {
public:
    CancelToken() = default;
    static CancelToken create();

    void cancel();
    bool isCancelled() const;

    // Calls `callback` once when the token fires (never for a token that cannot fire).
    // Returns 0 when the token is already cancelled or can never fire.
    std::uint64_t subscribe(std::function<void()> callback) const;
    void unsubscribe(std::uint64_t subscription) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace pellora
