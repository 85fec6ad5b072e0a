#pragma once

#include <atomic>
#include <concepts>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace pellora {

// An immutable value that copies share: one heap node with a reference count, eight bytes per
// holder. A long activity log repeats a few prompts, senders and routes over and over; loading
// it hands every entry the same node (see TextPool), so each text is in memory once.
//
// It reads as `const T&` and compares and assigns like a T, so code written for plain fields
// keeps working. A default one holds T{} without allocating. The count is atomic: copies may
// live on different threads, the value itself never changes.
template <class T> class Shared {
public:
    Shared() noexcept = default;
    Shared(T value) : node_(new Node(std::move(value))) {}
    // Anything a T is made from ("text", a string_view, …), so `entry.sender = "…"` works.
    template <class U>
        requires(std::constructible_from<T, U &&> && !std::same_as<std::remove_cvref_t<U>, Shared> &&
                 !std::same_as<std::remove_cvref_t<U>, T>)
    Shared(U&& value) : Shared(T(std::forward<U>(value))) {}

    Shared(const Shared& other) noexcept : node_(other.node_) {
        if (node_)
            node_->references.fetch_add(1, std::memory_order_relaxed);
    }
    Shared(Shared&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    Shared& operator=(Shared other) noexcept {
        std::swap(node_, other.node_);
        return *this;
    }
    ~Shared() {
        if (node_ && node_->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete node_;
    }

    const T& get() const noexcept { return node_ ? node_->value : fallback(); }
    operator const T&() const noexcept { return get(); }
    const T& operator*() const noexcept { return get(); }
    const T* operator->() const noexcept { return &get(); }

    // Whether both hold the very same node (so certainly the same value); caches key on it.
    bool sharesNodeWith(const Shared& other) const noexcept { return node_ == other.node_; }
    // The node's address (null for a default one). Only a holder keeps it from being reused.
    const void* node() const noexcept { return node_; }

    friend bool operator==(const Shared& a, const Shared& b) { return a.node_ == b.node_ || a.get() == b.get(); }
    friend bool operator==(const Shared& a, const T& b) { return a.get() == b; }
    friend bool operator==(const Shared& a, std::string_view b)
        requires std::same_as<T, std::string>
    {
        return a.get() == b;
    }
    friend bool operator==(const Shared& a, const char* b)
        requires std::same_as<T, std::string>
    {
        return a.get() == b;
    }

    // The usual reading of a text.
    bool empty() const noexcept
        requires std::same_as<T, std::string>
    {
        return get().empty();
    }
    std::size_t size() const noexcept
        requires std::same_as<T, std::string>
    {
        return get().size();
    }
    const char* data() const noexcept
        requires std::same_as<T, std::string>
    {
        return get().data();
    }
    const char* c_str() const noexcept
        requires std::same_as<T, std::string>
    {
        return get().c_str();
    }
    operator std::string_view() const noexcept
        requires std::same_as<T, std::string>
    {
        return get();
    }

    friend std::ostream& operator<<(std::ostream& out, const Shared& shared)
        requires requires(std::ostream& o, const T& t) { o << t; }
    {
        return out << shared.get();
    }

private:
    struct Node {
        explicit Node(T v) : value(std::move(v)) {}
        std::atomic<std::uint32_t> references{1};
        const T value;
    };

    static const T& fallback() {
        static const T empty{};
        return empty;
    }

    Node* node_ = nullptr;
};

using SharedText = Shared<std::string>;

} // namespace pellora
