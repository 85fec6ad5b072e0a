#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Pellora/Platform/Accessibility.h"

namespace pellora {

// One element of a simulated application's accessibility tree. Attributes are plain
// stored values, except "AXChildren", which is derived from the children. A simulated
// application reacts to presses and attribute writes through the hooks.
class SimElement : public std::enable_shared_from_this<SimElement> {
public:
    static std::shared_ptr<SimElement> make(std::string role);

    std::string role() const;

    void setAttribute(const std::string& name, Accessibility::Value value);
    void removeAttribute(const std::string& name);
    // "AXChildren" answers the children; any other name its stored value.
    std::optional<Accessibility::Value> attribute(const std::string& name) const;

    // Convenience for "AXPosition" and "AXSize" (screen points, origin top left).
    void setFrame(double x, double y, double width, double height);

    void addChild(std::shared_ptr<SimElement> child);
    void removeChild(const std::shared_ptr<SimElement>& child);
    void removeAllChildren();
    const std::vector<std::shared_ptr<SimElement>>& children() const { return children_; }
    std::shared_ptr<SimElement> parent() const { return parent_.lock(); }

    // "AXPress" and other actions; an action without a handler fails.
    void setActionHandler(const std::string& action, std::function<bool()> handler);
    bool perform(const std::string& action);

    // Called for a write from another program; answers whether the write succeeded. Without
    // a hook, writes are stored as they are; with one, a write it accepts is stored too.
    // "AXChildren" cannot be written.
    void setWriteHook(std::function<bool(const std::string& name, const Accessibility::Value&)> hook);
    bool write(const std::string& name, const Accessibility::Value& value);

    // The handle that the simulated accessibility interface hands out for this element.
    Accessibility::Element handle();
    static std::shared_ptr<SimElement> from(const Accessibility::Element& element);

private:
    explicit SimElement(std::string role);

    std::map<std::string, Accessibility::Value> attributes_;
    std::vector<std::shared_ptr<SimElement>> children_;
    std::weak_ptr<SimElement> parent_;
    std::map<std::string, std::function<bool()>> actions_;
    std::function<bool(const std::string&, const Accessibility::Value&)> writeHook_;
};

} // namespace pellora
