#include "GeneralTab.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "Pellora/Settings/DonateSection.h"
#include "Pellora/Settings/FormSection.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Settings/SwitchButton.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora {
namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

} // namespace

GeneralTab::GeneralTab(SettingsContext& context, QWidget* parent)
    : QWidget(parent), model_(context.store, context.services.accessibility, context.services.workspace) {
    auto* sections = FormSection::makeForm(this, {24, 16, 24, 20});
    sections->setSpacing(18);
    QWidget* form = sections->parentWidget();

    auto* sending = new FormSection({}, form);
    autoSend_ = new SwitchButton(QStringLiteral("Send to Claude automatically"), sending);
    sending->addRow(autoSend_);
    sending->setFooter(QStringLiteral("For actions that add a prompt, the message is submitted right after pasting. "
                                      "Actions set to paste the email only never submit."));
    sections->addWidget(sending);

    auto* logging = new FormSection({}, form);
    keepLog_ = new SwitchButton(QStringLiteral("Keep an activity log"), logging);
    logging->addRow(keepLog_);
    logging->setFooter(QStringLiteral("Records the date, subject, sender, route and prompt of each email on this "
                                      "Mac only. See the Activity tab."));
    sections->addWidget(logging);

    auto* speed = new FormSection(QStringLiteral("Speed"), form);
    auto* delayField = new QWidget(speed);
    auto* delayLayout = new QHBoxLayout(delayField);
    delayLayout->setContentsMargins(0, 0, 0, 0);
    delay_ = new QSlider(Qt::Horizontal, delayField);
    delay_->setRange(GeneralTabModel::delayMinimumTenths, GeneralTabModel::delayMaximumTenths);
    delay_->setSingleStep(1);
    delay_->setPageStep(5);
    delay_->setFixedWidth(160);
    delayText_ = new QLabel(delayField);
    delayText_->setMinimumWidth(QFontMetrics(delayText_->font()).horizontalAdvance(QStringLiteral("0.0s ")));
    delayText_->setFont(SettingsStyle::tabularDigits(delayText_->font()));
    delayLayout->addWidget(delay_);
    delayLayout->addWidget(delayText_);
    speed->addRow(QStringLiteral("Wait for Claude to load a chat"), delayField);
    delay_->setAccessibleName(QStringLiteral("Wait for Claude to load a chat"));
    speed->setFooter(QStringLiteral("A shorter wait is faster but can paste before the chat has finished opening. "
                                    "New chats ignore this."));
    sections->addWidget(speed);

    auto* permissions = new FormSection(QStringLiteral("Permissions"), form);
    auto* statusField = new QWidget(permissions);
    auto* statusLayout = new QHBoxLayout(statusField);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusIcon_ = new QLabel(statusField);
    statusText_ = new QLabel(statusField);
    auto* recheck = new QPushButton(QStringLiteral("Recheck"), statusField);
    auto* openSettings = new QPushButton(QStringLiteral("Open Privacy Settings"), statusField);
    statusLayout->addWidget(statusIcon_);
    statusLayout->addWidget(statusText_);
    statusLayout->addSpacing(8);
    statusLayout->addWidget(recheck);
    statusLayout->addWidget(openSettings);
    permissions->addRow(QStringLiteral("Accessibility"), statusField);
    permissions->setFooter(QStringLiteral("Accessibility lets Tovrin read Claude's chat list and paste into it."));
    sections->addWidget(permissions);

    sections->addWidget(new DonateSection(context.services.workspace, form));
    sections->addStretch(1);

    connect(autoSend_, &QCheckBox::toggled, this, [this](bool on) { model_.setAutoSend(on); });
    connect(keepLog_, &QCheckBox::toggled, this, [this](bool on) { model_.setKeepActivityLog(on); });
    connect(delay_, &QSlider::valueChanged, this, [this](int tenths) { model_.setDelayTenths(tenths); });
    connect(recheck, &QPushButton::clicked, this, [this] {
        model_.recheck();
        refresh();
    });
    connect(openSettings, &QPushButton::clicked, this, [this] { model_.openPrivacySettings(); });
    connect(&context.store, &ConfigStore::configChanged, this, &GeneralTab::refresh);
    refresh();
}

void GeneralTab::refresh() {
    {
        const QSignalBlocker blockAutoSend(autoSend_), blockKeepLog(keepLog_), blockDelay(delay_);
        autoSend_->setChecked(model_.autoSend());
        keepLog_->setChecked(model_.keepActivityLog());
        // Showing a stored 1.25 must not store 1.2 or 1.3: the slider only writes when moved.
        delay_->setValue(model_.delayTenths());
    }
    delayText_->setText(qt(model_.delayText()));
    // A screen reader would otherwise speak the slider's position in tenths.
    delay_->setAccessibleDescription(delayText_->text());
    const auto tint = model_.trusted() ? SettingsStyle::Tint::green : SettingsStyle::Tint::orange;
    SettingsStyle::symbol(statusIcon_, model_.statusSymbol(), 16, tint);
    statusText_->setText(qt(model_.statusText()));
}

} // namespace pellora
