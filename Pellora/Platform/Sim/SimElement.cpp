#include "SimElement.h"

#include <algorithm>

namespace pellora {

SimElement::SimElement(std::string role) { attributes_["AXRole"] = std::move(role); }

std::shared_ptr<SimElement> SimElement::make(std::string role) {
    return std::shared_ptr<SimElement>(new SimElement(std::move(role)));
}

std::string SimElement::role() const {
    const auto found = attributes_.find("AXRole");
    if (found == attributes_.end())
        return {};
    if (const auto* text = std::get_if<std::string>(&found->second))
        return *text;
    return {};
}

void SimElement::setAttribute(const std::string& name, Accessibility::Value value) {
    attributes_[name] = std::move(value);
}

void SimElement::removeAttribute(const std::string& name) { attributes_.erase(name); }

std::optional<Accessibility::Value> SimElement::attribute(const std::string& name) const {
    if (name == "AXChildren") {
        std::vector<Accessibility::Element> handles;
        handles.reserve(children_.size());
        for (const auto& child : children_)
            handles.push_back(child->handle());
        return handles;
    }
    const auto found = attributes_.find(name);
    if (found == attributes_.end())
        return std::nullopt;
    return found->second;
}

void SimElement::setFrame(double x, double y, double width, double height) {
    attributes_["AXPosition"] = Accessibility::Point{x, y};
    attributes_["AXSize"] = Accessibility::Size{width, height};
}

void SimElement::addChild(std::shared_ptr<SimElement> child) {
    if (!child || child.get() == this)
        return;
    if (auto previous = child->parent())
        previous->removeChild(child);
    child->parent_ = weak_from_this();
    children_.push_back(std::move(child));
}

void SimElement::removeChild(const std::shared_ptr<SimElement>& child) {
    const auto found = std::find(children_.begin(), children_.end(), child);
    if (found == children_.end())
        return;
    (*found)->parent_.reset();
    children_.erase(found);
}

void SimElement::removeAllChildren() {
    for (const auto& child : children_)
        child->parent_.reset();
    children_.clear();
}

void SimElement::setActionHandler(const std::string& action, std::function<bool()> handler) {
    if (handler)
        actions_[action] = std::move(handler);
    else
        actions_.erase(action);
}

bool SimElement::perform(const std::string& action) {
    const auto found = actions_.find(action);
    if (found == actions_.end())
        return false;
    // A copy: the handler may replace itself or remove this element from the tree.
    const auto handler = found->second;
    const auto keepAlive = shared_from_this();
    return handler();
}

void SimElement::setWriteHook(std::function<bool(const std::string&, const Accessibility::Value&)> hook) {
    writeHook_ = std::move(hook);
}

bool SimElement::write(const std::string& name, const Accessibility::Value& value) {
    if (name == "AXChildren")
        return false;
    if (writeHook_ && !writeHook_(name, value))
        return false;
    attributes_[name] = value;
    return true;
}

Accessibility::Element SimElement::handle() { return Accessibility::Element(std::shared_ptr<void>(shared_from_this())); }

std::shared_ptr<SimElement> SimElement::from(const Accessibility::Element& element) {
    return std::static_pointer_cast<SimElement>(element.handle());
}

} // namespace pellora
