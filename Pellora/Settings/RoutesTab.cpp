#include "RoutesTab.h"

#include <algorithm>

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Settings/FormSection.h"
#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/RouteEditor.h"
#include "Pellora/Settings/RouteEditorView.h"
#include "Pellora/Settings/RouteList.h"
#include "Pellora/Settings/RouteStyle.h"
#include "Pellora/Settings/Samples.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Settings/SwitchButton.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Callout.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

using RouteStyle::text;

QLabel* iconLabel(const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setFixedSize(pixmap.deviceIndependentSize().toSize());
    return label;
}

QLabel* markdownLabel(const std::string& markdown, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setText(LightMarkdown::html(markdown, label->font()));
    label->setAccessibleName(LightMarkdown::plain(markdown));
    return label;
}

QLabel* chip(const std::string& title, QWidget* parent) {
    auto* label = new QLabel(text(title), parent);
    const QColor fill = Brand::withOpacity(Brand::accent(label->palette()), 0.15);
    label->setStyleSheet(QStringLiteral("QLabel { background: %1; border-radius: 4px; padding: 0px 6px; }")
                             .arg(fill.name(QColor::HexArgb)));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    return label;
}

// A system symbol of `size` points in the tint, redrawn when the appearance changes.
QLabel* symbolLabel(std::string_view name, int size, SettingsStyle::Tint tint, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFixedSize(size, size);
    SettingsStyle::symbol(label, name, size, tint);
    return label;
}

// Wrapped words after a small symbol, both in the tint.
void addTintedLine(QVBoxLayout* texts, std::string_view symbol, SettingsStyle::Tint tint, const QString& words,
                   QWidget* parent) {
    auto* line = new QHBoxLayout;
    line->addWidget(symbolLabel(symbol, 12, tint, parent), 0, Qt::AlignTop);
    auto* label = new QLabel(words, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    SettingsStyle::tint(label, tint);
    line->addWidget(label, 1);
    texts->addLayout(line);
}

} // namespace

RoutesTab::RoutesTab(SettingsContext& context, QWidget* parent)
    : QWidget(parent), context_(context), model_(context.store) {
    QVBoxLayout* column = nullptr;
    RouteStyle::column(this, 0)->addWidget(RouteStyle::scrollingPage(this, column));
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(makeExplainer());
    column->addWidget(makeList(), 1);
    column->addWidget(makeToggle());
    column->addWidget(makeTester());

    connect(&context_.store, &ConfigStore::configChanged, this, &RoutesTab::render);
    render();
}

QWidget* RoutesTab::makeExplainer() {
    auto* content = new QWidget;
    auto* column = RouteStyle::column(content, 8);
    column->addWidget(RouteStyle::heading(QStringLiteral("How routes work"), content));
    auto* intro = new QLabel(QStringLiteral("A route decides where an email goes in Claude. Each route looks at one "
                                            "field, and matches either a whole domain or one address:"),
                             content);
    intro->setWordWrap(true);
    column->addWidget(intro);
    for (const auto& example : RoutesTabModel::examples()) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(symbolLabel(example.icon, 18, SettingsStyle::Tint::accent, content), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(RouteStyle::heading(text(example.title), content));
        texts->addWidget(markdownLabel(example.line(), content));
        texts->addWidget(RouteStyle::note(text(example.note), content));
        row->addLayout(texts, 1);
        column->addLayout(row);
    }
    auto* outro = new QLabel(QStringLiteral("A full address beats a domain. Otherwise the route higher in the list "
                                            "wins, so drag to reorder. No match: the app asks, or starts a new chat."),
                             content);
    outro->setWordWrap(true);
    column->addWidget(outro);
    auto* callout = new Callout(content, this);
    callout->setAccessibleName(QStringLiteral("How routes work"));
    return callout;
}

QWidget* RoutesTab::makeList() {
    auto* box = new QWidget(this);
    auto* column = RouteStyle::column(box, 6);

    listOrEmpty_ = new QStackedWidget(box);
    list_ = new RouteList(listOrEmpty_);
    list_->setAccessibleName(QStringLiteral("Routes"));
    list_->setMinimumHeight(160);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        const auto rows = model_.rows();
        model_.select(row >= 0 && std::size_t(row) < rows.size() ? std::optional(rows[std::size_t(row)].route.id())
                                                                  : std::nullopt);
        remove_->setEnabled(model_.canRemove());
    });
    // Queued: the list must finish its drop before it is redrawn.
    connect(list_, &RouteList::moveRequested, this,
            [this](int from, int to) {
                const auto rows = model_.rows();
                if (std::size_t(from) < rows.size())
                    model_.select(rows[std::size_t(from)].route.id());
                model_.move(std::size_t(from), std::size_t(to));
            },
            Qt::QueuedConnection);
    connect(list_, &RouteList::editRequested, this, [this](int row) {
        const auto rows = model_.rows();
        if (row >= 0 && std::size_t(row) < rows.size())
            openEditor(rows[std::size_t(row)].route);
    });
    listOrEmpty_->addWidget(list_);
    auto* empty = new QLabel(text(RoutesTabModel::emptyText()), listOrEmpty_);
    empty->setAlignment(Qt::AlignCenter);
    empty->setForegroundRole(QPalette::PlaceholderText);
    empty->setAccessibleName(empty->text());
    empty->setAutoFillBackground(true);
    empty->setBackgroundRole(QPalette::Base);
    listOrEmpty_->addWidget(empty);
    column->addWidget(listOrEmpty_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    auto* add = new QToolButton(box);
    add->setIcon(Symbols::icon("plus"));
    add->setAccessibleName(QStringLiteral("Add Route"));
    add->setToolTip(add->accessibleName());
    connect(add, &QToolButton::clicked, this, [this] { openEditor(std::nullopt); });
    buttons->addWidget(add);
    remove_ = new QToolButton(box);
    remove_->setIcon(Symbols::icon("minus"));
    remove_->setAccessibleName(QStringLiteral("Remove Route"));
    remove_->setToolTip(remove_->accessibleName());
    connect(remove_, &QToolButton::clicked, this, [this] { model_.removeSelected(); });
    buttons->addWidget(remove_);
    buttons->addSpacing(8);
    buttons->addWidget(RouteStyle::note(QStringLiteral("Drag to reorder. Higher wins."), box), 1);
    column->addLayout(buttons);
    return box;
}

QWidget* RoutesTab::makeToggle() {
    // A switch in a grouped row with its note below, as on the General tab.
    askSection_ = new FormSection({}, this);
    ask_ = new SwitchButton(QStringLiteral("Ask where to send emails that have no route"), askSection_);
    ask_->setAccessibleName(ask_->text());
    connect(ask_, &QCheckBox::toggled, this, [this](bool on) { model_.setAskForUnknownRoutes(on); });
    askSection_->addRow(ask_);
    return askSection_;
}

QWidget* RoutesTab::makeTester() {
    auto* box = new QWidget(this);
    auto* column = RouteStyle::column(box, 6);
    column->addWidget(RouteStyle::heading(QStringLiteral("Test your routes"), box));
    auto* fields = new QHBoxLayout;
    testFrom_ = new QLineEdit(box);
    testFrom_->setPlaceholderText(text(Samples::personAddress));
    testFrom_->setAccessibleName(QStringLiteral("Sender"));
    testFrom_->setClearButtonEnabled(true);
    connect(testFrom_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        model_.testFrom = typed.toStdString();
        showTestResult();
    });
    fields->addWidget(testFrom_);
    fields->addWidget(new QLabel(QStringLiteral("→"), box));
    testTo_ = new QLineEdit(box);
    testTo_->setPlaceholderText(text(Samples::ownAddress));
    testTo_->setAccessibleName(QStringLiteral("Recipient"));
    testTo_->setClearButtonEnabled(true);
    connect(testTo_, &QLineEdit::textChanged, this, [this](const QString& typed) {
        model_.testTo = typed.toStdString();
        showTestResult();
    });
    fields->addWidget(testTo_);
    column->addLayout(fields);
    testResult_ = new QLabel(box);
    testResult_->setObjectName(QStringLiteral("testResult"));
    testResult_->setTextFormat(Qt::RichText);
    testResult_->setWordWrap(true);
    column->addWidget(testResult_);
    return box;
}

QWidget* RoutesTab::makeRow(const RoutesTabModel::RouteRow& row) {
    auto* widget = new QWidget;
    auto* line = new QHBoxLayout(widget);
    line->setContentsMargins(8, 6, 8, 6);
    line->setSpacing(10);
    line->addWidget(iconLabel(Symbols::icon(RouteEditor::kindSymbol(row.route.kind)).pixmap(20), widget), 0,
                    Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    auto* pattern = RouteStyle::heading(text(row.route.domain), widget);
    pattern->setWordWrap(false);
    top->addWidget(pattern);
    top->addWidget(chip(row.fieldChip(), widget));
    top->addWidget(chip(row.ruleChip(), widget));
    top->addStretch(1);
    texts->addLayout(top);
    auto* destination = new QLabel(text(row.route.destinationDescription()), widget);
    destination->setTextFormat(Qt::PlainText);
    texts->addWidget(destination);

    if (const auto instructions = row.instructionsLine())
        addTintedLine(texts, "text.quote", SettingsStyle::Tint::secondary, text(*instructions), widget);
    if (const auto warning = row.warning())
        addTintedLine(texts, "exclamationmark.triangle.fill", SettingsStyle::Tint::orange, text(*warning), widget);
    line->addLayout(texts, 1);
    return widget;
}

void RoutesTab::render() {
    const auto rows = model_.rows();
    {
        const QSignalBlocker block(list_);
        list_->clear();
        int selected = -1;
        for (const auto& row : rows) {
            QStringList description{text(row.route.domain), text(row.fieldChip()), text(row.ruleChip()),
                                    text(row.route.destinationDescription())};
            if (const auto instructions = row.instructionsLine())
                description << text(*instructions);
            if (const auto warning = row.warning())
                description << text(*warning);
            list_->addRow(makeRow(row), description.join(QStringLiteral(", ")));
            if (model_.selection() == row.route.id())
                selected = list_->count() - 1;
        }
        list_->fitRows();
        list_->setCurrentRow(selected);
    }
    if (!model_.canRemove())
        model_.select(std::nullopt);
    listOrEmpty_->setCurrentIndex(rows.empty() ? 1 : 0);
    remove_->setEnabled(model_.canRemove());

    {
        const QSignalBlocker block(ask_);
        ask_->setChecked(model_.askForUnknownRoutes());
    }
    askSection_->setFooter(text(model_.toggleNote()));
    showTestResult();
}

void RoutesTab::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The rows' chips and icons take their colours from the appearance.
    if (event->type() == QEvent::PaletteChange && list_)
        render();
}

void RoutesTab::showTestResult() {
    const std::string result = model_.testResult();
    testResult_->setText(LightMarkdown::html(result, testResult_->font()));
    testResult_->setAccessibleName(LightMarkdown::plain(result));
}

void RoutesTab::openEditor(const std::optional<Route>& editing) {
    // A sheet on a Mac; elsewhere a dialog that keeps the settings window blocked while open.
    QDialog sheet(window(), Qt::Sheet);
    sheet.setWindowModality(Qt::WindowModal);

    RouteEditor::Inputs inputs = model_.editorInputs(editing);
    sheet.setWindowTitle(text(inputs.title));
    const ClaudePlatform claude = context_.services.claude();
    inputs.loadChats = [claude] { return ClaudeSidebar::chatTitles(claude); };
    inputs.onSave = [this, &sheet, editing](const Route& route) {
        model_.saveEdit(editing, route);
        sheet.accept();
    };
    inputs.onCancel = [&sheet] { sheet.reject(); };
    RouteEditor editor(std::move(inputs));

    auto* layout = RouteStyle::column(&sheet, 0);
    auto* view = new RouteEditorView(editor, &sheet);
    layout->addWidget(view);
    QSize size = view->sizeHint();
    if (window() != this)
        size.setHeight(std::min(size.height(), std::max(window()->height(), 480)));
    sheet.resize(size);
    sheet.exec();
}

} // namespace pellora
