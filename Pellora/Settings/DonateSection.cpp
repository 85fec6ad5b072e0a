#include "DonateSection.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Pellora/Platform/Workspace.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Donate.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {

DonateSection::DonateSection(Workspace& workspace, QWidget* parent)
    : FormSection(QStringLiteral("Support the app"), parent) {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* heart = new QLabel(row);
    heart->setPixmap(Symbols::tinted("heart.fill", 18, QColor(255, 45, 85), devicePixelRatioF()));
    heart->setAlignment(Qt::AlignTop);
    heart->setAccessibleName(QStringLiteral("Heart"));
    layout->addWidget(heart);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    for (const char* text : {"If you like the app: it's free for now, but to keep it free I'd appreciate your "
                             "donation. Thank you very much!",
                             "Follow this link to send me money on Revolut:"}) {
        auto* label = new QLabel(QString::fromUtf8(text), row);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        texts->addWidget(label);
    }
    layout->addLayout(texts, 1);
    addRow(row);

    auto* donate = new QPushButton(QStringLiteral("Donate on Revolut"), this);
    donate->setAccessibleName(donate->text());
    SettingsStyle::tint(donate, SettingsStyle::Tint::prominent);
    addButton(donate);
    connect(donate, &QPushButton::clicked, this, [&workspace] { workspace.openURL(Donate::url()); });

    setFooter(QStringLiteral("The link opens in your browser. The app sends nothing to Revolut."));
}

} // namespace pellora
