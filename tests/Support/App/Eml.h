#pragma once

#include <string>
#include <vector>

#include <QByteArray>

namespace pellora::testing {

struct EmlAttachment {
    std::string name;
    std::string type;
    std::string bytes;
};

// A message as Mail would store it: plain text, or multipart/mixed with base64 attachments.
inline std::string eml(const std::string& headers, const std::string& body,
                       const std::vector<EmlAttachment>& attachments = {}) {
    const std::string textPart =
        "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + body;
    if (attachments.empty())
        return headers + "MIME-Version: 1.0\r\n" + textPart;
    std::string text =
        headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b0undary\"\r\n\r\n";
    text += "--b0undary\r\n" + textPart + "\r\n";
    for (const auto& attachment : attachments) {
        text += "--b0undary\r\nContent-Type: " + attachment.type +
                "\r\nContent-Disposition: attachment; filename=\"" + attachment.name +
                "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        const QByteArray encoded = QByteArray::fromStdString(attachment.bytes).toBase64();
        for (qsizetype at = 0; at < encoded.size(); at += 76)
            text += encoded.mid(at, 76).toStdString() + "\r\n";
    }
    return text + "--b0undary--\r\n";
}

} // namespace pellora::testing
