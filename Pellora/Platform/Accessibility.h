#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pellora {

// The platform's accessibility interface: another application's window tree, read and
// pressed element by element.
class Accessibility {
public:
    // An opaque reference to one element of another application; empty when invalid.
    class Element {
    public:
        Element() = default;
        explicit Element(std::shared_ptr<void> handle) : handle_(std::move(handle)) {}
        const std::shared_ptr<void>& handle() const { return handle_; }
        explicit operator bool() const { return bool(handle_); }
        bool operator==(const Element& other) const { return handle_ == other.handle_; }

    private:
        std::shared_ptr<void> handle_;
    };

    struct Point {
        double x = 0, y = 0;
        bool operator==(const Point&) const = default;
    };
    struct Size {
        double width = 0, height = 0;
        bool operator==(const Size&) const = default;
    };

    using Value = std::variant<std::string, Point, Size, bool, Element, std::vector<Element>>;

    virtual ~Accessibility() = default;

    // Whether this program may use the interface; with `prompt`, the platform asks the user
    // when it may not.
    virtual bool isTrusted(bool prompt) = 0;
    // The root element of the application with this process identifier.
    virtual Element applicationElement(long long processIdentifier) = 0;
    // The attribute's value; absent on failure or when it has none.
    virtual std::optional<Value> attribute(const Element& element, std::string_view name) = 0;
    // Sets an attribute; false on failure.
    virtual bool setAttribute(const Element& element, std::string_view name, const Value& value) = 0;
    // Performs an action such as "AXPress"; false on failure.
    virtual bool performAction(const Element& element, std::string_view action) = 0;
};

} // namespace pellora
