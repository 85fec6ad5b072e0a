#include "LightMarkdown.h"

#include <QTextDocument>

namespace pellora::LightMarkdown {

std::string escaped(std::string_view text) {
    constexpr std::string_view special = "\\`*_[]<>&!~|#";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos)
            out += '\\';
        out += c;
    }
    return out;
}

namespace {
void read(QTextDocument& document, std::string_view markdown) {
    document.setMarkdown(QString::fromUtf8(markdown.data(), qsizetype(markdown.size())),
                         QTextDocument::MarkdownDialectCommonMark);
}
} // namespace

QString html(std::string_view markdown, const QFont& font) {
    QTextDocument document;
    document.setDefaultFont(font);
    read(document, markdown);
    return document.toHtml();
}

QString plain(std::string_view markdown) {
    QTextDocument document;
    read(document, markdown);
    return document.toPlainText();
}

} // namespace pellora::LightMarkdown
