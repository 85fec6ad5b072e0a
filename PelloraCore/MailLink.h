#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellora::MailLink {

// "message://%3C<id>%3E", the link that makes Mail show a message; absent for an empty id.
std::optional<std::string> url(std::string_view messageID);

} // namespace pellora::MailLink
