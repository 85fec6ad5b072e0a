#include "PrivacyChoiceView.h"

#include <algorithm>

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Pellora/Settings/LocalPromiseBanner.h"
#include "Pellora/Settings/PrivacyText.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

constexpr int tallest = 740;
constexpr int screenMargin = 60;
constexpr int iconSize = 56;

// One answer's card: its title and what the server would store.
QFrame* card(const QString& title, const std::vector<std::string>& items, const QString& detail, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("choiceCard"));
    frame->setStyleSheet(QStringLiteral("#choiceCard { background: palette(base); border: 1px solid palette(midlight); "
                                        "border-radius: 10px; }"));
    frame->setAccessibleName(title);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(8);
    auto* heading = new QLabel(title, frame);
    heading->setFont(SettingsStyle::headline(heading->font()));
    layout->addWidget(heading);
    for (const auto& item : items) {
        auto* line = new QLabel(QString::fromStdString(PrivacyText::bulleted(item)), frame);
        line->setWordWrap(true);
        line->setAlignment(Qt::AlignLeading | Qt::AlignTop);
        layout->addWidget(line);
    }
    if (!detail.isEmpty()) {
        auto* note = new QLabel(detail, frame);
        note->setWordWrap(true);
        SettingsStyle::tint(note, SettingsStyle::Tint::secondary);
        layout->addWidget(note);
    }
    layout->addStretch(1);
    return frame;
}

QPixmap applicationIcon(const QWidget& widget) {
    const QIcon icon = QGuiApplication::windowIcon();
    if (!icon.isNull())
        return icon.pixmap(iconSize, iconSize);
    // Until the application has an icon of its own, the privacy symbol stands in.
    return Symbols::tinted("hand.raised", iconSize, Brand::accent(widget.palette()), widget.devicePixelRatioF());
}

} // namespace

PrivacyChoiceView::PrivacyChoiceView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Tovrin"));
    setModal(true);
    const QScreen* screen = QGuiApplication::primaryScreen();
    setFixedSize(fixedWidth, windowHeight(screen ? std::optional(screen->availableGeometry().height()) : std::nullopt));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    auto* icon = new QLabel(content);
    icon->setPixmap(applicationIcon(*this));
    icon->setFixedSize(iconSize, iconSize);
    icon->setScaledContents(true);
    icon->setAccessibleName(QStringLiteral("Tovrin"));
    auto* title = new QLabel(QStringLiteral("Help improve Tovrin?"), content);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    header->addWidget(icon);
    header->addWidget(title, 1);
    column->addLayout(header);

    column->addWidget(new LocalPromiseBanner(content));

    auto* invitation = new QLabel(QStringLiteral("Optionally, choose what else you're happy to share:"), content);
    invitation->setWordWrap(true);
    column->addWidget(invitation);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(14);
    cards->addWidget(card(QStringLiteral("Share analytics"), PrivacyText::sharedItems(),
                          QStringLiteral("Used to understand how the app is used and to give support."), content),
                     1);
    cards->addWidget(card(QStringLiteral("Don't share analytics"), PrivacyText::minimalItems(), {}, content), 1);
    column->addLayout(cards);
    column->addStretch(1);
    outer->addWidget(scroll, 1);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    outer->addWidget(divider);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(24, 14, 24, 14);
    bar->setSpacing(12);
    share_ = new QPushButton(QStringLiteral("Share Analytics"), this);
    dontShare_ = new QPushButton(QStringLiteral("Don't Share"), this);
    share_->setAccessibleName(share_->text());
    dontShare_->setAccessibleName(dontShare_->text());
    // Neither answer is taken by Return alone; Escape is "Don't Share".
    share_->setAutoDefault(false);
    dontShare_->setAutoDefault(false);
    bar->addWidget(share_, 1);
    bar->addWidget(dontShare_, 1);
    outer->addLayout(bar);
    connect(share_, &QPushButton::clicked, this, [this] { choose(AnalyticsChoice::shared); });
    connect(dontShare_, &QPushButton::clicked, this, [this] { choose(AnalyticsChoice::notShared); });
    setTabOrder(share_, dontShare_);
    share_->setFocus();
}

int PrivacyChoiceView::windowHeight(std::optional<int> visibleScreenHeight) {
    if (!visibleScreenHeight)
        return tallest;
    return std::min(tallest, *visibleScreenHeight - screenMargin);
}

void PrivacyChoiceView::choose(AnalyticsChoice choice) {
    chosen_ = choice;
    accept();
}

} // namespace pellora
