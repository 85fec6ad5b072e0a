#include "ActionDetail.h"

#include <limits>

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QVBoxLayout>

#include "Pellora/Settings/FormSection.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Brand.h"

namespace pellora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// The shortcut drawn as a key cap: medium-weight text padded 8 × 2 on a rounded fill.
class KeyCap : public QLabel {
public:
    explicit KeyCap(QWidget* parent) : QLabel(parent) {
        QFont medium = font();
        medium.setWeight(QFont::Medium);
        setFont(medium);
        setContentsMargins(8, 2, 8, 2);
        setTextFormat(Qt::PlainText);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath cap;
        cap.addRoundedRect(QRectF(rect()), 6, 6);
        const bool dark = Brand::isDark(palette());
        painter.fillPath(cap, dark ? QColor(118, 118, 128, 46) : QColor(116, 116, 128, 20));
        painter.end();
        QLabel::paintEvent(event);
    }
};

// The prompt editor asks for little more than its minimum and grows into any room left.
class PromptEditor : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    QSize sizeHint() const override { return {QPlainTextEdit::sizeHint().width(), 130}; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // Shift-Return would put a Unicode line separator into the prompt, which Claude
        // receives as an odd character rather than the line break the user meant.
        if (event->matches(QKeySequence::InsertLineSeparator)) {
            insertPlainText(QStringLiteral("\n"));
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

} // namespace

ActionDetail::ActionDetail(PromptsTabModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* sections = FormSection::makeForm(this, {20, 14, 20, 16});
    sections->setSpacing(14);
    QWidget* form = sections->parentWidget();

    menuItem_ = new FormSection(QStringLiteral("Menu item"), form);
    name_ = new QLineEdit(menuItem_);
    // Names are kept whole, however long; the default cap would cut them on the next keystroke.
    name_->setMaxLength(std::numeric_limits<int>::max());
    name_->setMinimumWidth(260);
    menuItem_->addRow(QStringLiteral("Name"), name_);
    shortcut_ = new KeyCap(menuItem_);
    menuItem_->addRow(QStringLiteral("Shortcut"), shortcut_);
    sections->addWidget(menuItem_);

    auto* what = new FormSection(QStringLiteral("What happens to the email"), form);
    auto* choices = new QWidget(what);
    auto* choiceLayout = new QVBoxLayout(choices);
    choiceLayout->setContentsMargins(0, 0, 0, 0);
    modes_ = new QButtonGroup(this);
    for (ActionMode mode : ActionMode::allCases()) {
        auto* button = new QRadioButton(QString::fromUtf8(mode.title().data(), qsizetype(mode.title().size())), choices);
        modes_->addButton(button, int(mode));
        modeButtons_.push_back(button);
        choiceLayout->addWidget(button);
    }
    auto* afterPasting = what->addRow(QStringLiteral("After pasting"), choices);
    afterPasting->layout()->setAlignment(Qt::AlignTop);
    choices->setAccessibleName(QStringLiteral("After pasting"));
    explanation_ = new QWidget(what);
    explanationLines_ = new QVBoxLayout(explanation_);
    explanationLines_->setContentsMargins(0, 0, 0, 0);
    explanationLines_->setSpacing(4);
    what->addRow(explanation_);
    sections->addWidget(what);

    promptSection_ = new FormSection(QStringLiteral("Prompt"), form);
    prompt_ = new PromptEditor(promptSection_);
    prompt_->setMinimumHeight(120);
    prompt_->setTabChangesFocus(true);
    prompt_->setAccessibleName(QStringLiteral("Prompt"));
    promptSection_->addRow(prompt_);
    promptSection_->setFooter(QStringLiteral("Placed above the email in Claude."));
    sections->addWidget(promptSection_);

    auto* resetSection = new FormSection({}, form);
    reset_ = new QPushButton(QStringLiteral("Reset to Default"), resetSection);
    resetSection->addButton(reset_);
    sections->addWidget(resetSection);
    sections->addStretch(1);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        shownName_ = text.toStdString();
        model_.setName(shownName_);
    });
    connect(modes_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.setMode(ActionMode(ActionMode::Value(id)));
    });
    connect(prompt_, &QPlainTextEdit::textChanged, this, [this] {
        shownPrompt_ = promptText();
        model_.setPrompt(shownPrompt_);
    });
    connect(reset_, &QPushButton::clicked, this, [this] { model_.reset(); });
    refresh(true);
}

std::string ActionDetail::promptText() const {
    // Raw text keeps no-break spaces that plain text would turn into spaces.
    QString text = prompt_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text.toStdString();
}

void ActionDetail::refresh(bool force) {
    const std::string name = model_.name();
    if (force || name != shownName_) {
        shownName_ = name;
        name_->setText(qt(name));
    }
    name_->setPlaceholderText(qt(model_.placeholder()));
    shortcut_->setText(qt(model_.shortcut()));
    shortcut_->setAccessibleName(QStringLiteral("Shortcut ") + shortcut_->text());

    menuItem_->setFooter(qt(model_.footer()));
    SettingsStyle::tint(menuItem_->footer(),
                        model_.footerIsWarning() ? SettingsStyle::Tint::orange : SettingsStyle::Tint::secondary);

    const ActionMode mode = model_.mode();
    for (auto* button : modeButtons_) {
        const QSignalBlocker block(button);
        button->setChecked(modes_->id(button) == int(mode));
    }
    showExplanation(model_.explanation());

    promptSection_->setVisible(model_.showsPrompt());
    const std::string prompt = model_.prompt();
    if (force || prompt != shownPrompt_) {
        shownPrompt_ = prompt;
        const QSignalBlocker block(prompt_);
        prompt_->setPlainText(qt(prompt));
    }
    reset_->setEnabled(model_.canReset());
}

void ActionDetail::showExplanation(const std::vector<PromptsTabModel::Line>& lines) {
    if (lines == shownLines_)
        return;
    shownLines_ = lines;
    while (auto* item = explanationLines_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    using Size = PromptsTabModel::Line::Size;
    for (const auto& line : lines) {
        auto* row = new QWidget(explanation_);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        auto* text = new QLabel(qt(line.text), row);
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(true);
        if (line.size == Size::callout)
            text->setFont(SettingsStyle::callout(font()));
        else if (line.size == Size::caption)
            text->setFont(SettingsStyle::caption(font()));
        if (line.faded)
            SettingsStyle::tint(text, SettingsStyle::Tint::faded);
        if (!line.symbol.empty()) {
            auto* icon = new QLabel(row);
            SettingsStyle::symbol(icon, line.symbol, 16, SettingsStyle::Tint::primary);
            icon->setAlignment(Qt::AlignTop);
            layout->addWidget(icon);
        }
        layout->addWidget(text, 1);
        explanationLines_->addWidget(row);
        row->show(); // now, not when the layout gets round to it

    }
}


} // namespace pellora
