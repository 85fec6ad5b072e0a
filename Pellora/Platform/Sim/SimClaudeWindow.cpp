#include "SimClaudeWindow.h"

#include <sstream>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "Pellora/Platform/KeyEvents.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Shell/Brand.h"
#include "PelloraCore/ChatLink.h"

namespace pellora {
namespace {

using Place = SimClaude::Place;

QString chipsText(const std::vector<std::filesystem::path>& files) {
    QStringList names;
    for (const auto& file : files)
        names << "[" + QString::fromStdString(file.filename().string()) + "]";
    return names.join("  ");
}

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SimClaudeWindow::SimClaudeWindow(SimClaude& claude, QWidget* parent) : QWidget(parent), claude_(claude) {
    setWindowTitle("Claude");
    setAccessibleName("Claude");

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    outer->addWidget(pages_);

    auto* notRunning = new QLabel("Claude is not running.", pages_);
    notRunning->setAlignment(Qt::AlignCenter);
    pages_->addWidget(notRunning);

    auto* app = new QWidget(pages_);
    auto* columns = new QHBoxLayout(app);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    auto* sidebar = new QFrame(app);
    sidebar->setFixedWidth(230);
    // A role, not a colour: the sidebar follows a change of appearance.
    sidebar->setBackgroundRole(QPalette::AlternateBase);
    sidebar->setAutoFillBackground(true);
    auto* side = new QVBoxLayout(sidebar);
    auto* newChat = new QPushButton("New chat", sidebar);
    newChat->setAccessibleName("New chat");
    connect(newChat, &QPushButton::clicked, this, [this] { claude_.keyStroke(KeyEvents::keyN, KeyEvents::command); });
    side->addWidget(newChat);
    side->addWidget(new QLabel("Recents", sidebar));
    chats_ = new QListWidget(sidebar);
    chats_->setAccessibleName("Chats");
    connect(chats_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { openLink("/chat/" + item->data(Qt::UserRole).toString().toStdString()); });
    side->addWidget(chats_, 3);
    side->addWidget(new QLabel("Projects", sidebar));
    projects_ = new QListWidget(sidebar);
    projects_->setAccessibleName("Projects");
    connect(projects_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        openLink("/project/" + item->data(Qt::UserRole).toString().toStdString());
    });
    side->addWidget(projects_, 2);
    columns->addWidget(sidebar);

    auto* main = new QWidget(app);
    auto* column = new QVBoxLayout(main);
    column->setContentsMargins(18, 12, 18, 14);
    // Titles, names and file names are the user's and the mail's: always plain text.
    title_ = new QLabel(main);
    title_->setTextFormat(Qt::PlainText);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    titleFont.setWeight(QFont::DemiBold);
    title_->setFont(titleFont);
    title_->setAccessibleName("Place");
    column->addWidget(title_);

    scroll_ = new QScrollArea(main);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setAccessibleName("Conversation");
    conversation_ = new QWidget(scroll_);
    messages_ = new QVBoxLayout(conversation_);
    messages_->addStretch(1);
    scroll_->setWidget(conversation_);
    connect(scroll_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (!scrollToEnd_)
            return;
        scroll_->verticalScrollBar()->setValue(maximum);
        scrollToEnd_ = false;
    });
    column->addWidget(scroll_, 1);

    chips_ = new QLabel(main);
    chips_->setTextFormat(Qt::PlainText);
    chips_->setAccessibleName("Attachments");
    column->addWidget(chips_);
    auto* composer = new QHBoxLayout;
    box_ = new QPlainTextEdit(main);
    box_->setAccessibleName("Write your prompt to Claude");
    box_->setPlaceholderText("Write your prompt to Claude");
    box_->setFixedHeight(130);
    connect(box_, &QPlainTextEdit::textChanged, this,
            [this] { claude_.setMessageBoxText(box_->toPlainText().toStdString()); });
    composer->addWidget(box_, 1);
    send_ = new QPushButton("Send", main);
    send_->setAccessibleName("Send message");
    connect(send_, &QPushButton::clicked, this, [this] { claude_.keyStroke(KeyEvents::keyReturn, 0); });
    composer->addWidget(send_, 0, Qt::AlignBottom);
    column->addLayout(composer);
    columns->addWidget(main, 1);
    pages_->addWidget(app);

    setTabOrder(newChat, chats_);
    setTabOrder(chats_, projects_);
    setTabOrder(projects_, box_);
    setTabOrder(box_, send_);

    observer_ = claude_.addObserver([this] { scheduleRefresh(); });
    resize(760, 720);
    refresh();
}

SimClaudeWindow::~SimClaudeWindow() { claude_.removeObserver(observer_); }

void SimClaudeWindow::openLink(const std::string& path) {
    claude_.openURLs({"claude://" + std::string(ChatLink::chatWebHost()) + path});
}

void SimClaudeWindow::scheduleRefresh() {
    // Many changes in one turn (a paste in pieces) draw once.
    if (refreshScheduled_)
        return;
    refreshScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshScheduled_ = false;
        refresh();
    });
}

QString SimClaudeWindow::placeTitle() const {
    const Place& place = claude_.place();
    switch (place.kind) {
    case Place::Kind::newChat: return "New chat";
    case Place::Kind::incognito: return "Incognito chat";
    case Place::Kind::projectList: return "Projects";
    case Place::Kind::chat:
        for (const auto& chat : claude_.chats())
            if (chat.id == place.id)
                return QString::fromStdString(chat.title);
        return "Chat " + QString::fromStdString(place.id);
    case Place::Kind::newChatInProject:
        for (const auto& project : claude_.projects())
            if (project.id == place.id)
                return "New chat in " + QString::fromStdString(project.name);
        return "New chat in a project";
    }
    return {};
}

void SimClaudeWindow::refresh() {
    SimDesktop* desktop = claude_.desktop();
    const bool running = desktop && desktop->isRunning(SimClaude::identifier);
    pages_->setCurrentIndex(running ? 1 : 0);

    // Coming to the front raises the window, as activating an application does.
    const bool frontmost = desktop && desktop->frontmostApplication() == std::optional<std::string>(SimClaude::identifier);
    if (frontmost && !wasFrontmost_ && isVisible())
        raise();
    wasFrontmost_ = frontmost;

    refreshSidebar();
    title_->setText(placeTitle());
    refreshConversation();
    chips_->setText(chipsText(claude_.pendingAttachments()));
    chips_->setVisible(!claude_.pendingAttachments().empty());

    const QString text = QString::fromStdString(claude_.messageBoxText());
    if (box_->toPlainText() != text) {
        const QSignalBlocker quiet(box_);
        box_->setPlainText(text);
        box_->moveCursor(QTextCursor::End);
    }
    // The message box shows when it has Claude's focus.
    const QColor ring = claude_.messageBoxFocused() ? Brand::accent(palette()) : palette().color(QPalette::Mid);
    box_->setStyleSheet(QString("QPlainTextEdit { border: 2px solid %1; border-radius: 8px; padding: 4px; }")
                            .arg(ring.name()));
}

void SimClaudeWindow::refreshSidebar() {
    const auto chats = claude_.chats();
    if (chats_->count() != int(chats.size())) {
        chats_->clear();
        for (const auto& chat : chats) {
            auto* item = new QListWidgetItem(QString::fromStdString(chat.title), chats_);
            item->setData(Qt::UserRole, QString::fromStdString(chat.id));
        }
    }
    const Place& place = claude_.place();
    for (int row = 0; row < chats_->count(); ++row) {
        QListWidgetItem* item = chats_->item(row);
        item->setSelected(place.kind == Place::Kind::chat &&
                          item->data(Qt::UserRole).toString().toStdString() == place.id);
    }
    const auto& projects = claude_.projects();
    if (projects_->count() != int(projects.size())) {
        projects_->clear();
        for (const auto& project : projects) {
            auto* item = new QListWidgetItem(QString::fromStdString(project.name), projects_);
            item->setData(Qt::UserRole, QString::fromStdString(project.id));
            if (!project.description.empty())
                item->setToolTip(Qt::convertFromPlainText(QString::fromStdString(project.description)));
        }
    }
    for (int row = 0; row < projects_->count(); ++row) {
        QListWidgetItem* item = projects_->item(row);
        item->setSelected(place.kind == Place::Kind::newChatInProject &&
                          item->data(Qt::UserRole).toString().toStdString() == place.id);
    }
}

void SimClaudeWindow::refreshConversation() {
    // The messages sent to the place shown, oldest first.
    std::ostringstream key;
    key << claude_.place() << '#';
    std::vector<const SimClaude::Message*> shown;
    for (const auto& message : claude_.sentMessages())
        if (message.place == claude_.place())
            shown.push_back(&message);
    key << shown.size();
    if (key.str() == drawnConversation_)
        return;
    drawnConversation_ = key.str();

    while (messages_->count() > 1) {
        QLayoutItem* item = messages_->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QColor bubble = Brand::withOpacity(Brand::accent(palette()), 0.10);
    for (const auto* message : shown) {
        auto* frame = new QFrame(conversation_);
        frame->setObjectName("bubble");
        frame->setStyleSheet(QString("QFrame#bubble { background: rgba(%1, %2, %3, %4); border-radius: 10px; }")
                                 .arg(bubble.red())
                                 .arg(bubble.green())
                                 .arg(bubble.blue())
                                 .arg(bubble.alpha()));
        auto* inside = new QVBoxLayout(frame);
        inside->addWidget(wrapped(QString::fromStdString(message->text), frame));
        if (!message->files.empty())
            inside->addWidget(wrapped(chipsText(message->files), frame));
        messages_->insertWidget(messages_->count() - 1, frame);
    }
    // The newest message in view once the layout has its new height.
    scrollToEnd_ = true;
}

} // namespace pellora
