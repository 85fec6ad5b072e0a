#include "RouteEditorView.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/RouteEditor.h"
#include "Pellora/Settings/RouteStyle.h"
#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

using RouteStyle::text;

QGroupBox* section(const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}

QComboBox* picker(const QString& name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setAccessibleName(name);
    return combo;
}

// A section's rows: a label beside each field, and notes under the fields or across both
// columns. A grid rather than a QFormLayout, which sizes a wrapped note beside a label by its
// preferred shape and so surrounds a one-line message with blank lines.
class Rows {
public:
    explicit Rows(QGroupBox* box) : box_(box), grid_(new QGridLayout(box)) { grid_->setColumnStretch(1, 1); }

    // `field` named by a label that also names it to assistive technology; returns the label.
    QLabel* add(const QString& name, QWidget* field, QWidget* buddy = nullptr) {
        auto* label = new QLabel(name, box_);
        label->setBuddy(buddy ? buddy : field);
        grid_->addWidget(label, row_, 0);
        grid_->addWidget(field, row_++, 1);
        return label;
    }
    // A note or message under the fields.
    void addUnder(QWidget* note) { grid_->addWidget(note, row_++, 1); }
    // A note across both columns.
    void addAcross(QWidget* note) { grid_->addWidget(note, row_++, 0, 1, 2); }

private:
    QGroupBox* box_;
    QGridLayout* grid_;
    int row_ = 0;
};

} // namespace

RouteEditorView::RouteEditorView(RouteEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    auto* layout = RouteStyle::column(this, 0);

    // The body scrolls on small screens; the footer stays in view.
    QVBoxLayout* column = nullptr;
    QScrollArea* scroll = RouteStyle::scrollingPage(this, column);
    QWidget* body = column->parentWidget();
    body_ = body;
    column->setContentsMargins(20, 20, 20, 12);
    column->setSpacing(14);
    column->addWidget(makeHeader());
    column->addWidget(makeRuleSection());
    column->addWidget(makeDestinationSection());
    column->addWidget(makeInstructionsSection());
    column->addWidget(makeResultSection());

    previewToggle_ = new QToolButton(body);
    previewToggle_->setText(QStringLiteral("Preview what Claude receives"));
    previewToggle_->setAccessibleName(previewToggle_->text());
    previewToggle_->setAutoRaise(true);
    previewToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    previewToggle_->setArrowType(Qt::RightArrow);
    preview_ = new QPlainTextEdit(body);
    preview_->setReadOnly(true);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    preview_->setMinimumHeight(180);
    preview_->hide();
    // A disclosure rather than a toggle button, so an open preview does not look pressed.
    connect(previewToggle_, &QToolButton::clicked, this, [this] {
        const bool open = preview_->isHidden();
        previewToggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        preview_->setVisible(open);
    });
    column->addWidget(previewToggle_, 0, Qt::AlignLeft);
    column->addWidget(preview_);

    if (editor_.inputs().offersOnce) {
        neverAsk_ = new QCheckBox(QStringLiteral("Don't ask again. Always start a new chat when no route matches."), body);
        neverAsk_->setAccessibleName(neverAsk_->text());
        connect(neverAsk_, &QCheckBox::toggled, this, [this](bool on) {
            editor_.setNeverAsk(on);
            sync();
        });
        column->addWidget(neverAsk_);
        column->addWidget(RouteStyle::note(QStringLiteral("You can turn asking back on in Settings → Routes."), body));
    }
    column->addStretch(1);
    layout->addWidget(scroll, 1);
    footer_ = makeFooter();
    layout->addWidget(footer_);

    sync();
}

QSize RouteEditorView::sizeHint() const {
    // The whole form with the preview closed, so that nothing needs scrolling where the screen
    // has room; the callers cap the height.
    constexpr int width = 580;
    return {width, body_->heightForWidth(width) + footer_->sizeHint().height()};
}

QWidget* RouteEditorView::makeHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* icon = new QLabel(header);
    SettingsStyle::symbol(icon, "arrow.triangle.branch", 32, SettingsStyle::Tint::accent);
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* title = RouteStyle::heading(text(editor_.inputs().title), header);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.35);
    title->setFont(font);
    title->setAccessibleName(title->text());
    texts->addWidget(title);
    auto* subtitle = new QLabel(text(editor_.inputs().subtitle), header);
    subtitle->setTextFormat(Qt::PlainText);
    subtitle->setWordWrap(true);
    subtitle->setAccessibleName(subtitle->text());
    texts->addWidget(subtitle);
    row->addLayout(texts, 1);
    return header;
}

QWidget* RouteEditorView::makeRuleSection() {
    auto* box = section(QStringLiteral("When an email is…"), this);
    Rows rows(box);

    field_ = picker(QStringLiteral("Email field"), box);
    field_->addItem(QStringLiteral("Received from (From)"));
    field_->addItem(QStringLiteral("Sent to (To)"));
    connect(field_, &QComboBox::activated, this, [this](int index) {
        editor_.setField(index == 0 ? MatchField::from : MatchField::to);
        sync();
    });
    rows.add(QStringLiteral("Email field"), field_);

    matchType_ = picker(QStringLiteral("Match"), box);
    matchType_->addItem(QStringLiteral("Anyone at a domain"));
    matchType_->addItem(QStringLiteral("One email address"));
    connect(matchType_, &QComboBox::activated, this, [this](int index) {
        editor_.setMatchType(index == 0 ? RouteEditor::MatchType::domain : RouteEditor::MatchType::address);
        sync();
    });
    rows.add(QStringLiteral("Match"), matchType_);

    pattern_ = new QLineEdit(box);
    connect(pattern_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        editor_.setMatchText(typed.toStdString());
        sync();
    });
    patternLabel_ = rows.add(QString(), pattern_);
    ruleError_ = RouteStyle::message(box);
    rows.addUnder(ruleError_);

    fieldHelp_ = RouteStyle::note(QString(), box);
    rows.addAcross(fieldHelp_);
    return box;
}

QWidget* RouteEditorView::makeDestinationSection() {
    auto* box = section(QStringLiteral("…put it in Claude"), this);
    Rows rows(box);

    kind_ = picker(QStringLiteral("Send it to"), box);
    for (const DestinationKind kind : DestinationKind::allCases())
        kind_->addItem(Symbols::icon(RouteEditor::kindSymbol(kind)), text(kind.title()));
    connect(kind_, &QComboBox::activated, this, [this](int index) {
        editor_.setKind(DestinationKind::allCases().at(std::size_t(index)));
        sync();
    });
    rows.add(QStringLiteral("Send it to"), kind_);
    kindExplanation_ = RouteStyle::note(QString(), box);
    rows.addUnder(kindExplanation_);

    chatRow_ = new QWidget(box);
    auto* chatLine = new QHBoxLayout(chatRow_);
    chatLine->setContentsMargins(0, 0, 0, 0);
    chat_ = picker(QStringLiteral("Chat"), chatRow_);
    chat_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chat_->setMinimumContentsLength(18);
    connect(chat_, &QComboBox::activated, this, [this](int index) {
        editor_.setName(index == 0 ? std::string() : shownChats_.at(std::size_t(index - 1)));
        sync();
    });
    chatLine->addWidget(chat_, 1);
    auto* refresh = new QPushButton(QStringLiteral("Refresh Chat List"), chatRow_);
    refresh->setAccessibleName(refresh->text());
    refresh->setFlat(true);
    refresh->setCursor(Qt::PointingHandCursor);
    SettingsStyle::tint(refresh, SettingsStyle::Tint::accent);
    connect(refresh, &QPushButton::clicked, this, [this] {
        editor_.refreshChats();
        sync();
    });
    chatLine->addWidget(refresh);
    chatLabel_ = rows.add(QStringLiteral("Chat"), chatRow_, chat_);

    project_ = new QLineEdit(box);
    project_->setPlaceholderText(QStringLiteral("Exactly as shown in Claude"));
    project_->setAccessibleName(QStringLiteral("Project name"));
    connect(project_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        editor_.setName(typed.toStdString());
        sync();
    });
    projectLabel_ = rows.add(QStringLiteral("Project name"), project_);

    link_ = new QLineEdit(box);
    connect(link_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        editor_.setUrl(typed.toStdString());
        sync();
    });
    linkLabel_ = rows.add(QString(), link_);
    linkNotes_ = new QWidget(box);
    auto* notes = RouteStyle::column(linkNotes_, 2);
    notes->addWidget(RouteStyle::note(QStringLiteral("A link is the most reliable way to find it."), linkNotes_));
    linkMessage_ = RouteStyle::message(linkNotes_);
    notes->addWidget(linkMessage_);
    rows.addUnder(linkNotes_);
    return box;
}

QWidget* RouteEditorView::makeInstructionsSection() {
    auto* box = section(QStringLiteral("Standing instructions (optional)"), this);
    auto* column = new QVBoxLayout(box);
    instructions_ = new QPlainTextEdit(box);
    instructions_->setAccessibleName(box->title());
    instructions_->setPlainText(text(editor_.instructions()));
    instructions_->setTabChangesFocus(true);
    instructions_->setFixedHeight(instructions_->fontMetrics().lineSpacing() * 4 + 12);
    connect(instructions_, &QPlainTextEdit::textChanged, this, [this] {
        editor_.setInstructions(instructions_->toPlainText().toStdString());
        sync();
    });
    column->addWidget(instructions_);
    column->addWidget(RouteStyle::note(
        QStringLiteral("Added to the prompt every time this route is used, after the action's own prompt, "
                       "for example “Always reply formally, in Dutch.” Actions that only paste the email "
                       "aren't affected."),
        box));
    return box;
}

QWidget* RouteEditorView::makeResultSection() {
    auto* box = section(QStringLiteral("Result"), this);
    auto* column = new QVBoxLayout(box);
    result_ = new QLabel(box);
    result_->setTextFormat(Qt::RichText);
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(result_);
    return box;
}

QWidget* RouteEditorView::makeFooter() {
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(20, 10, 20, 16);
    row->addStretch(1);
    const auto button = [footer, row](const QString& title) {
        auto* created = new QPushButton(title, footer);
        created->setAccessibleName(title);
        created->setAutoDefault(false);
        row->addWidget(created);
        return created;
    };
    cancel_ = button(QStringLiteral("Cancel"));
    connect(cancel_, &QPushButton::clicked, this, [this] { editor_.cancel(); });
    // A shortcut of its own rather than the button's, which clicks only after an animation.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] { editor_.cancel(); });
    once_ = button(QStringLiteral("Just This Once"));
    connect(once_, &QPushButton::clicked, this, [this] { editor_.once(); });
    save_ = button(QStringLiteral("Save"));
    connect(save_, &QPushButton::clicked, this, [this] { editor_.save(); });
    alwaysNewChat_ = button(QStringLiteral("Always Use a New Chat"));
    connect(alwaysNewChat_, &QPushButton::clicked, this, [this] { editor_.alwaysNewChat(); });
    return footer;
}

void RouteEditorView::sync() {
    const QSignalBlocker blockField(field_), blockMatch(matchType_), blockKind(kind_), blockChat(chat_);

    field_->setCurrentIndex(editor_.field() == MatchField::from ? 0 : 1);
    matchType_->setCurrentIndex(editor_.matchType() == RouteEditor::MatchType::domain ? 0 : 1);
    patternLabel_->setText(text(editor_.patternLabel()));
    pattern_->setAccessibleName(patternLabel_->text());
    pattern_->setPlaceholderText(text(editor_.patternPlaceholder()));
    if (pattern_->text() != text(editor_.matchText()))
        pattern_->setText(text(editor_.matchText()));
    RouteStyle::setMessage(ruleError_, text(editor_.ruleError().value_or("")));
    fieldHelp_->setText(text(editor_.fieldHelp()));

    const auto& kinds = DestinationKind::allCases();
    kind_->setCurrentIndex(int(std::find(kinds.begin(), kinds.end(), editor_.kind()) - kinds.begin()));
    kindExplanation_->setText(text(editor_.kindExplanation()));

    const std::vector<std::string> choices = editor_.chatChoices();
    if (!chatsShown_ || choices != shownChats_) {
        chat_->clear();
        chat_->addItem(text(editor_.chatPrompt()));
        for (const auto& choice : choices)
            chat_->addItem(text(choice));
        shownChats_ = choices;
        chatsShown_ = true;
    }
    const auto selected = editor_.selectedChat();
    chat_->setCurrentIndex(selected ? int(*selected) + 1 : 0);
    if (project_->text() != text(editor_.name()))
        project_->setText(text(editor_.name()));
    linkLabel_->setText(text(editor_.linkLabel()) + QStringLiteral(" (optional)"));
    link_->setAccessibleName(linkLabel_->text());
    link_->setPlaceholderText(text(editor_.linkPlaceholder()));
    if (link_->text() != text(editor_.url()))
        link_->setText(text(editor_.url()));
    RouteStyle::setMessage(linkMessage_, text(editor_.linkMessage().value_or("")));

    const DestinationKind kind = editor_.kind();
    for (QWidget* part : {static_cast<QWidget*>(chatLabel_), chatRow_})
        part->setVisible(kind == DestinationKind::chat);
    for (QWidget* part : {static_cast<QWidget*>(projectLabel_), static_cast<QWidget*>(project_)})
        part->setVisible(kind == DestinationKind::project);
    for (QWidget* part : {static_cast<QWidget*>(linkLabel_), static_cast<QWidget*>(link_), linkNotes_})
        part->setVisible(editor_.asksForDestination());

    const std::string sentence = editor_.resultSentence();
    result_->setText(LightMarkdown::html(sentence, result_->font()));
    result_->setAccessibleName(LightMarkdown::plain(sentence));
    const QString preview = text(editor_.preview());
    if (preview_->toPlainText() != preview)
        preview_->setPlainText(preview);
    if (neverAsk_) {
        const QSignalBlocker blockNeverAsk(neverAsk_);
        neverAsk_->setChecked(editor_.neverAsk());
    }

    const bool neverAskButton = editor_.showsNeverAskButton();
    const bool valid = editor_.isValid();
    once_->setVisible(editor_.showsOnceButton());
    once_->setEnabled(valid);
    save_->setVisible(!neverAskButton);
    save_->setEnabled(valid);
    alwaysNewChat_->setVisible(neverAskButton);
    save_->setDefault(!neverAskButton);
    alwaysNewChat_->setDefault(neverAskButton);
}

} // namespace pellora
