#include "PrivacyTab.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "Pellora/Platform/Workspace.h"
#include "Pellora/Settings/FormSection.h"
#include "Pellora/Settings/LocalPromiseBanner.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Settings/Spinner.h"
#include "Pellora/Shell/Callout.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/UpdateManager.h"

namespace pellora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// Texts that come from elsewhere (the server's errors among them) are never read as markup.
QLabel* plainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

PrivacyTab::PrivacyTab(SettingsContext& context, QWidget* parent)
    : QWidget(parent), model_(context.store, context.updates, context.ui, context.services.clock) {
    auto* sections = FormSection::makeForm(this, {24, 16, 24, 20});
    sections->setSpacing(18);
    QWidget* form = sections->parentWidget();

    auto* updates = new FormSection(QStringLiteral("Updates"), form);
    version_ = plainLabel(updates);
    lastChecked_ = plainLabel(updates);
    updates->addRow(QStringLiteral("Installed version"), version_);
    updates->addRow(QStringLiteral("Last checked"), lastChecked_);
    // The button with its spinner, and the status on its own line below them.
    auto* checking = new QWidget(updates);
    auto* checkingLayout = new QVBoxLayout(checking);
    checkingLayout->setContentsMargins(0, 0, 0, 0);
    auto* buttonLine = new QHBoxLayout;
    checkNow_ = new QPushButton(QStringLiteral("Check for Updates Now"), checking);
    checkNow_->setAccessibleName(checkNow_->text());
    spinner_ = new Spinner(16, checking);
    spinner_->setAccessibleName(QStringLiteral("Checking for updates"));
    buttonLine->addWidget(checkNow_);
    buttonLine->addWidget(spinner_);
    buttonLine->addStretch(1);
    checkingLayout->addLayout(buttonLine);
    status_ = plainLabel(checking);
    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Update status"));
    SettingsStyle::tint(status_, SettingsStyle::Tint::secondary);
    checkingLayout->addWidget(status_);
    updates->addRow(checking);
    updates->setFooter(QStringLiteral("The app checks once a week and asks before it downloads anything. "
                                      "Updating restarts the app."));
    sections->addWidget(updates);
    connect(&context.updates, &UpdateManager::statusChanged, this, &PrivacyTab::refresh);
    connect(&context.updates, &UpdateManager::busyChanged, this, &PrivacyTab::refresh);
    connect(checkNow_, &QPushButton::clicked, this, [this] { model_.checkNow(); });

    // The promise, on a coloured background of its own.
    auto* banner = new LocalPromiseBanner;
    banner->layout()->setContentsMargins(0, 0, 0, 0);
    sections->addWidget(new Callout(banner, form));

    auto* privacy = new FormSection(QStringLiteral("Privacy"), form);
    auto* choices = new QWidget(privacy);
    choices->setAccessibleName(QStringLiteral("Analytics"));
    auto* choicesLayout = new QVBoxLayout(choices);
    choicesLayout->setContentsMargins(0, 0, 0, 0);
    share_ = new QRadioButton(QStringLiteral("Share analytics"), choices);
    dontShare_ = new QRadioButton(QStringLiteral("Don't share analytics"), choices);
    share_->setAccessibleName(share_->text());
    dontShare_->setAccessibleName(dontShare_->text());
    choicesLayout->addWidget(share_);
    choicesLayout->addWidget(dontShare_);
    choices_ = new QButtonGroup(this);
    choices_->addButton(share_, 0);
    choices_->addButton(dontShare_, 1);
    connect(choices_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.choose(id == 0 ? AnalyticsChoice::shared : AnalyticsChoice::notShared);
        refresh();
    });
    privacy->addRow(choices);

    auto* stored = new QWidget;
    auto* storedLayout = new QVBoxLayout(stored);
    storedLayout->setContentsMargins(0, 0, 0, 0);
    storedLayout->setSpacing(8);
    auto* storedTitle = new QLabel(QStringLiteral("What is stored on the server"), stored);
    storedTitle->setFont(SettingsStyle::headline(storedTitle->font()));
    storedLayout->addWidget(storedTitle);
    items_ = new QVBoxLayout;
    items_->setSpacing(6);
    storedLayout->addLayout(items_);
    stored->setAccessibleName(storedTitle->text());
    privacy->addRow(new Callout(stored));

    erase_ = new QPushButton(QStringLiteral("Erase My Data on the Server…"), privacy);
    erase_->setAccessibleName(erase_->text());
    privacy->addButton(erase_);
    connect(erase_, &QPushButton::clicked, this, [this] { model_.confirmErase(); });

    if (model_.showsPrivacyPolicy()) {
        const QString url = BackendConfig::privacyPolicyURL()->toString();
        policy_ = new QLabel(QStringLiteral("<a href=\"%1\">Privacy policy</a>").arg(url.toHtmlEscaped()), privacy);
        policy_->setAccessibleName(QStringLiteral("Privacy policy"));
        policy_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(policy_, &QLabel::linkActivated, this,
                [workspace = &context.services.workspace](const QString& link) { workspace->openURL(link.toStdString()); });
        privacy->addRow(policy_);
    }
    sections->addWidget(privacy);
    sections->addStretch(1);

    setTabOrder(checkNow_, share_);
    setTabOrder(share_, dontShare_);
    setTabOrder(dontShare_, erase_);

    connect(&context.store, &ConfigStore::configChanged, this, &PrivacyTab::refresh);
    refresh();
}

void PrivacyTab::refresh() {
    version_->setText(qt(model_.installedVersion()));
    lastChecked_->setText(qt(model_.lastChecked(QLocale().bcp47Name().toStdString())));
    checkNow_->setEnabled(model_.canCheckNow());
    spinner_->setVisible(model_.showsSpinner());
    status_->setText(qt(model_.statusLine()));
    status_->setVisible(model_.showsStatusLine());

    const bool shared = model_.shownChoice() == AnalyticsChoice::shared;
    const QSignalBlocker blocker(choices_);
    (shared ? share_ : dontShare_)->setChecked(true);

    while (auto* item = items_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const auto& line : model_.storedItems()) {
        auto* label = new QLabel(qt(line), items_->parentWidget());
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
        items_->addWidget(label);
    }
}

} // namespace pellora
