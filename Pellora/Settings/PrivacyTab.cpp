#include "PrivacyTab.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Pellora/Platform/Workspace.h"
#include "Pellora/Settings/LocalPromiseBanner.h"
#include "Pellora/Settings/Spinner.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Callout.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/UpdateManager.h"

namespace pellora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

void makeSecondary(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
}

QLabel* bold(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QWidget* row(QWidget* parent, int margin = 10) {
    auto* widget = new QWidget(parent);
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(12, margin, 12, margin);
    return widget;
}

// A label and its value, as a form row.
QWidget* valueRow(const QString& name, QLabel* value, QWidget* parent) {
    auto* widget = row(parent);
    auto* label = new QLabel(name, widget);
    label->setBuddy(value);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setAccessibleName(name);
    widget->layout()->addWidget(label);
    static_cast<QHBoxLayout*>(widget->layout())->addStretch(1);
    widget->layout()->addWidget(value);
    return widget;
}

// One section of a grouped form: a header, its rows in a rounded box with lines between
// them, and a footer. `fill` colours the box instead of the base colour.
QWidget* section(const QString& header, const QList<QWidget*>& rows, const QString& footer, QWidget* parent,
                 std::optional<QColor> fill = std::nullopt) {
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!header.isEmpty()) {
        auto* title = bold(header, widget);
        title->setContentsMargins(4, 0, 0, 0);
        layout->addWidget(title);
    }
    auto* box = new QFrame(widget);
    box->setObjectName(QStringLiteral("formBox"));
    const QString background = fill ? fill->name(QColor::HexArgb) : QStringLiteral("palette(base)");
    box->setStyleSheet(QStringLiteral("#formBox { background: %1; border: 1px solid palette(midlight); "
                                      "border-radius: 8px; }").arg(background));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(0);
    for (int i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            auto* line = new QFrame(box);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setStyleSheet(QStringLiteral("color: palette(midlight);"));
            boxLayout->addWidget(line);
        }
        boxLayout->addWidget(rows[i]);
    }
    layout->addWidget(box);
    if (!footer.isEmpty()) {
        auto* note = new QLabel(footer, widget);
        note->setWordWrap(true);
        note->setContentsMargins(4, 0, 0, 0);
        QFont small = note->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        note->setFont(small);
        makeSecondary(note);
        layout->addWidget(note);
    }
    return widget;
}

} // namespace

PrivacyTab::PrivacyTab(SettingsContext& context, QWidget* parent)
    : QWidget(parent), model_(context.store, context.updates, context.ui, context.services.clock) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* form = new QVBoxLayout(content);
    form->setContentsMargins(20, 20, 20, 20);
    form->setSpacing(20);

    // Updates
    version_ = new QLabel(content);
    lastChecked_ = new QLabel(content);
    // The button with its spinner, and the status on its own line below them.
    auto* checkRow = new QWidget(content);
    auto* checkLayout = new QVBoxLayout(checkRow);
    checkLayout->setContentsMargins(12, 8, 12, 8);
    auto* buttonLine = new QHBoxLayout;
    checkNow_ = new QPushButton(QStringLiteral("Check for Updates Now"), checkRow);
    checkNow_->setAccessibleName(checkNow_->text());
    spinner_ = new Spinner(16, checkRow);
    spinner_->setAccessibleName(QStringLiteral("Checking for updates"));
    buttonLine->addWidget(checkNow_);
    buttonLine->addWidget(spinner_);
    buttonLine->addStretch(1);
    checkLayout->addLayout(buttonLine);
    status_ = new QLabel(checkRow);
    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Update status"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    makeSecondary(status_);
    checkLayout->addWidget(status_);
    form->addWidget(section(QStringLiteral("Updates"),
                            {valueRow(QStringLiteral("Installed version"), version_, content),
                             valueRow(QStringLiteral("Last checked"), lastChecked_, content), checkRow},
                            QStringLiteral("The app checks once a week and asks before it downloads anything. "
                                           "Updating restarts the app."),
                            content));
    connect(&context.updates, &UpdateManager::statusChanged, this, &PrivacyTab::refresh);
    connect(&context.updates, &UpdateManager::busyChanged, this, &PrivacyTab::refresh);
    connect(checkNow_, &QPushButton::clicked, this, [this] { model_.checkNow(); });

    // The promise
    auto* banner = new LocalPromiseBanner(content);
    form->addWidget(section({}, {banner}, {}, content, Brand::withOpacity(Brand::accent(palette()), 0.10)));

    // Privacy
    auto* choiceRow = new QWidget(content);
    choiceRow->setAccessibleName(QStringLiteral("Analytics"));
    auto* choiceLayout = new QVBoxLayout(choiceRow);
    choiceLayout->setContentsMargins(12, 10, 12, 10);
    share_ = new QRadioButton(QStringLiteral("Share analytics"), choiceRow);
    dontShare_ = new QRadioButton(QStringLiteral("Don't share analytics"), choiceRow);
    share_->setAccessibleName(share_->text());
    dontShare_->setAccessibleName(dontShare_->text());
    choiceLayout->addWidget(share_);
    choiceLayout->addWidget(dontShare_);
    choices_ = new QButtonGroup(this);
    choices_->addButton(share_, 0);
    choices_->addButton(dontShare_, 1);
    connect(choices_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.choose(id == 0 ? AnalyticsChoice::shared : AnalyticsChoice::notShared);
        refresh();
    });

    auto* storedRow = row(content);
    auto* stored = new QWidget;
    auto* storedLayout = new QVBoxLayout(stored);
    storedLayout->setContentsMargins(0, 0, 0, 0);
    storedLayout->setSpacing(8);
    storedLayout->addWidget(bold(QStringLiteral("What is stored on the server"), stored));
    items_ = new QVBoxLayout;
    items_->setSpacing(6);
    storedLayout->addLayout(items_);
    stored->setAccessibleName(QStringLiteral("What is stored on the server"));
    stored->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    storedRow->layout()->addWidget(new Callout(stored, storedRow));

    auto* eraseRow = row(content, 8);
    erase_ = new QPushButton(QStringLiteral("Erase My Data on the Server…"), eraseRow);
    erase_->setAccessibleName(erase_->text());
    eraseRow->layout()->addWidget(erase_);
    static_cast<QHBoxLayout*>(eraseRow->layout())->addStretch(1);
    connect(erase_, &QPushButton::clicked, this, [this] { model_.confirmErase(); });

    QList<QWidget*> privacyRows{choiceRow, storedRow, eraseRow};
    if (model_.showsPrivacyPolicy()) {
        auto* policyRow = row(content);
        const QString url = BackendConfig::privacyPolicyURL()->toString();
        policy_ = new QLabel(QStringLiteral("<a href=\"%1\">Privacy policy</a>").arg(url.toHtmlEscaped()), policyRow);
        policy_->setAccessibleName(QStringLiteral("Privacy policy"));
        policy_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(policy_, &QLabel::linkActivated, this,
                [workspace = &context.services.workspace](const QString& link) { workspace->openURL(link.toStdString()); });
        policyRow->layout()->addWidget(policy_);
        privacyRows.append(policyRow);
    }
    form->addWidget(section(QStringLiteral("Privacy"), privacyRows, {}, content));
    form->addStretch(1);

    setTabOrder(checkNow_, share_);
    setTabOrder(share_, dontShare_);
    setTabOrder(dontShare_, erase_);

    connect(&context.store, &ConfigStore::configChanged, this, &PrivacyTab::refresh);
    refresh();
}

void PrivacyTab::refresh() {
    version_->setText(qt(model_.installedVersion()));
    lastChecked_->setText(qt(model_.lastChecked(QLocale().name().toStdString())));
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
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
        items_->addWidget(label);
    }
}

} // namespace pellora
