#include "QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace pellora {
namespace {

QByteArray bytes(const std::string& text) { return QByteArray(text.data(), qsizetype(text.size())); }

} // namespace

std::vector<Pasteboard::Item> QtPasteboard::items() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return {};
    Item item;
    for (const QString& format : data->formats()) {
        const QByteArray content = data->data(format);
        item[format.toStdString()] = std::string(content.constData(), std::size_t(content.size()));
    }
    if (item.empty())
        return {};
    return {item};
}

void QtPasteboard::clear() { QGuiApplication::clipboard()->clear(); }

void QtPasteboard::setString(const std::string& text) {
    auto* data = new QMimeData;
    // Both spellings of plain text, so Qt readers and our own typed lookups find it.
    data->setText(QString::fromStdString(text));
    data->setData(QString::fromLatin1(plainTextType), bytes(text));
    QGuiApplication::clipboard()->setMimeData(data);
}

void QtPasteboard::writeFileURL(const std::filesystem::path& file) {
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    QGuiApplication::clipboard()->setMimeData(data);
}

void QtPasteboard::writeItems(const std::vector<Item>& items) {
    auto* data = new QMimeData;
    for (const Item& item : items) {
        for (const auto& [type, content] : item) {
            const QString format = QString::fromStdString(type);
            if (!data->hasFormat(format))
                data->setData(format, bytes(content));
        }
    }
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace pellora
