#pragma once

#include <string>
#include <string_view>

#include <QFont>
#include <QString>

namespace pellora {

// The sentences the route screens read back are light Markdown: double asterisks mark bold.
namespace LightMarkdown {

// `text` as Markdown that renders as exactly these characters: the marks that could start
// emphasis, code, a link, markup or an entity are escaped, so an address, a pattern or a
// chat title shows as typed.
std::string escaped(std::string_view text);

// The sentence rendered by Qt's CommonMark reader (no bare-address autolinks, no raw HTML
// passes through unescaped text), as rich text for a label in `font`.
QString html(std::string_view markdown, const QFont& font);
// What the sentence reads as once rendered, for screen readers.
QString plain(std::string_view markdown);

} // namespace LightMarkdown
} // namespace pellora
