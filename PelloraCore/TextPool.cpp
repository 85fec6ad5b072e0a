#include "TextPool.h"

#include <string>

namespace pellora {

SharedText TextPool::intern(std::string_view text) {
    if (text.empty())
        return {};
    if (const auto found = texts_.find(text); found != texts_.end())
        return found->second;
    SharedText shared{std::string(text)};
    texts_.emplace(std::string_view(shared.get()), shared);
    return shared;
}

} // namespace pellora
