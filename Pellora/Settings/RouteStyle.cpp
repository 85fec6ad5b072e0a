#include "RouteStyle.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Brand.h"

namespace pellora::RouteStyle {

QString text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    // The other settings tabs' footer notes.
    label->setFont(SettingsStyle::caption(label->font()));
    SettingsStyle::tint(label, SettingsStyle::Tint::secondary);
    return label;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setFont(SettingsStyle::headline(label->font()));
    return label;
}

QLabel* message(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, errorColor(palette));
    label->setPalette(palette);
    label->hide();
    return label;
}

void setMessage(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text);
    label->setVisible(!text.isEmpty());
}

QScrollArea* scrollingPage(QWidget* parent, QVBoxLayout*& column) {
    auto* area = new QScrollArea(parent);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of its own for Tab: it still scrolls to whichever control takes the focus.
    area->setFocusPolicy(Qt::NoFocus);
    auto* page = new QWidget(area);
    column = new QVBoxLayout(page);
    area->setWidget(page);
    return area;
}

QVBoxLayout* column(QWidget* box, int spacing) {
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QColor errorColor(const QPalette& palette) {
    return Brand::isDark(palette) ? QColor(255, 69, 58) : QColor(215, 0, 21);
}

QColor warningColor(const QPalette& palette) {
    return Brand::isDark(palette) ? QColor(255, 159, 10) : QColor(201, 52, 0);
}

} // namespace pellora::RouteStyle
