#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/RouteList.h"
#include "Pellora/Settings/RoutesTab.h"
#include "Pellora/Settings/RoutesTabModel.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Updates/InstallPipeline.h"
#include "Pellora/Updates/UpdateManager.h"
#include "TestHome.h"

namespace pellora {
namespace {

using pellora::testing::named;
using pellora::testing::whenModal;
using Routes = std::vector<Route>;

Route route(std::string pattern, MatchField field = MatchField::from, DestinationKind kind = DestinationKind::newChat,
            std::optional<std::string> name = std::nullopt, std::optional<std::string> instructions = std::nullopt) {
    return Route{std::move(pattern), field, kind, std::move(name), std::nullopt, std::move(instructions)};
}

struct NoInstaller : InstallPipeline {
    QCoro::Task<void> install(const UpdateInfo&, std::function<void(const std::string&)>) override { co_return; }
};

struct RoutesTabFixture : ::testing::Test {
    std::filesystem::path file = pellora::testing::testHome() / "Pellora" / "config.json";
    ConfigStore store{file};
    RoutesTabModel model{store};

    void setRoutes(Routes routes, bool ask = true) {
        Config config = store.config();
        config.routes = std::move(routes);
        config.askForUnknownRoutes = ask;
        store.setConfig(config);
    }
    Routes routesOnDisk() const { return Config::load(file).routes; }
};

using RoutesTabRules = RoutesTabFixture;

TEST_F(RoutesTabRules, RowsShowChipsInstructionsAndOverlapsInListOrder) {
    setRoutes({route("example.com", MatchField::from, DestinationKind::newChat, {}, "\n \n  Reply in Dutch.  \nSign."),
               route("mail.example.com"), route("example.com", MatchField::to), route("jane@example.com"),
               route("b.mail.example.com", MatchField::from, DestinationKind::newChat, {}, "First\r\nSecond"),
               route("example.org", MatchField::from, DestinationKind::newChat, {}, "\u2028 \t\n")});
    using Line = std::optional<std::string>;
    const std::tuple<const char*, const char*, Line, Line> expected[] = {
        {"From", "Domain", "Reply in Dutch.",
         "Overlaps with mail.example.com, b.mail.example.com. The one higher in the list wins."},
        {"From", "Domain", {}, "Overlaps with example.com, b.mail.example.com. The one higher in the list wins."},
        {"To", "Domain", {}, {}},     // a To rule never overlaps a From rule
        {"From", "Address", {}, {}}, // an address rule overlaps nothing
        {"From", "Domain", "First", "Overlaps with example.com, mail.example.com. The one higher in the list wins."},
        {"From", "Domain", {}, {}},
    };
    const auto rows = model.rows();
    ASSERT_EQ(rows.size(), 6u);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        SCOPED_TRACE(index);
        const auto& [field, rule, instructions, warning] = expected[index];
        EXPECT_EQ(rows[index].fieldChip(), field);
        EXPECT_EQ(rows[index].ruleChip(), rule);
        EXPECT_EQ(rows[index].instructionsLine(), instructions);
        EXPECT_EQ(rows[index].warning(), warning);
    }
}

TEST_F(RoutesTabRules, TesterSaysWhichRouteWouldApply) {
    struct Case {
        const char *from, *to;
        bool ask;
        std::string line;
    };
    const Case cases[] = {
        {"", "", true, "Type a sender and a recipient to see which route would apply."},
        {"Jane Doe <JANE@example.com>", "", true,
         "**From jane@example.com** (address) matches jane@example.com, so it goes to: **Jane Doe**."},
        {"ann@mail.example.com", "", true,
         "**From example.com** (domain) matches ann@mail.example.com, so it goes to: **New chat in project: Example "
         "Corp**."},
        {"", "bob@example.org", true,
         "**To example.org** (domain) matches bob@example.org, so it goes to: **New chat each time**."},
        // Only a recipient: the From rule for example.net is not tried.
        {"", "bob@example.net", true, "No route matches. The app would ask where to send it."},
        {"", "bob@example.net", false, "No route matches. It would start a new chat."},
        {"first_last@example.edu", "", true,
         "**From first\\_last@example.edu** (address) matches first\\_last@example.edu, so it goes to: **New chat each time**."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        setRoutes({route("jane@example.com", MatchField::from, DestinationKind::chat, "Jane Doe"),
                   route("example.com", MatchField::from, DestinationKind::project, "Example Corp"),
                   route("example.org", MatchField::to), route("example.net", MatchField::from, DestinationKind::incognito),
                   route("first_last@example.edu")},
                  c.ask);
        model.testFrom = c.from;
        model.testTo = c.to;
        EXPECT_EQ(model.testResult(), c.line);
    }
}

TEST_F(RoutesTabRules, EditorOpensForAddingOrEditing) {
    const auto add = model.editorInputs(std::nullopt);
    EXPECT_EQ(add.title, "Add Route");
    EXPECT_EQ(add.subtitle, "Choose which emails this applies to, and where Claude should receive them.");
    EXPECT_EQ(add.initial, route("", MatchField::to));
    EXPECT_FALSE(add.suggestions || add.offersOnce);
    EXPECT_TRUE(add.previewPrompt.starts_with("Below is an email I received. Using everything you know"));

    const Route jane = route("jane@example.com", MatchField::from, DestinationKind::chat, "Jane Doe");
    const auto edit = model.editorInputs(jane);
    EXPECT_EQ(edit.title, "Edit Route");
    EXPECT_EQ(edit.subtitle, add.subtitle);
    EXPECT_EQ(edit.initial, jane);
}

TEST_F(RoutesTabRules, EveryEditOfTheListIsSaved) {
    const Route jane = route("jane@example.com", MatchField::from, DestinationKind::chat, "Jane Doe");
    const Route corp = route("example.com", MatchField::from, DestinationKind::project, "Example Corp");
    const Route net = route("example.net", MatchField::to);
    setRoutes({corp, jane});

    // Adding a field and pattern that exist replaces the old route and goes to the end.
    model.saveEdit(std::nullopt, route("  @Example.COM ", MatchField::from, DestinationKind::incognito));
    const Route corpIncognito = route("example.com", MatchField::from, DestinationKind::incognito);
    EXPECT_EQ(routesOnDisk(), (Routes{jane, corpIncognito}));
    EXPECT_EQ(model.selection(), "from:example.com");

    model.saveEdit(std::nullopt, net);
    EXPECT_EQ(routesOnDisk(), (Routes{jane, corpIncognito, net}));

    // Editing keeps the place.
    const Route janeByLink = Route{"jane@example.com", MatchField::from, DestinationKind::chat, std::nullopt,
                                   "https://claude.ai/chat/1", std::nullopt};
    model.saveEdit(jane, janeByLink);
    EXPECT_EQ(routesOnDisk(), (Routes{janeByLink, corpIncognito, net}));

    // Editing a route into another's field and pattern removes the other.
    model.saveEdit(net, route("EXAMPLE.com", MatchField::from));
    EXPECT_EQ(routesOnDisk(), (Routes{janeByLink, route("example.com")}));

    // Reordering.
    model.move(1, 0);
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com"), janeByLink}));
    model.move(0, 5); // out of range: nothing
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com"), janeByLink}));

    // Removing needs a selection of a route that exists.
    model.select(std::nullopt);
    EXPECT_FALSE(model.canRemove());
    model.select("to:gone.example");
    EXPECT_FALSE(model.canRemove());
    model.removeSelected();
    EXPECT_EQ(routesOnDisk().size(), 2u);
    model.select(janeByLink.id());
    ASSERT_TRUE(model.canRemove());
    model.removeSelected();
    EXPECT_EQ(routesOnDisk(), Routes{route("example.com")});
    EXPECT_EQ(model.selection(), std::nullopt);
}

TEST_F(RoutesTabRules, ExplainerAndNotes) {
    const auto& examples = RoutesTabModel::examples();
    ASSERT_EQ(examples.size(), 2u);
    EXPECT_EQ(examples[0].line(), "Email matching **jane@example.com** → the chat “Jane Doe”");
    EXPECT_EQ(examples[0].note, "a domain such as example.com covers everyone at that company");
    EXPECT_EQ(examples[1].line(), "Email matching **example.com** → the project “Example Corp”");
    EXPECT_EQ(examples[1].note, "a client you write to and hear from needs one From route and one To route");
    EXPECT_EQ(model.toggleNote(), "A window asks the first time you send an email that has none, and remembers your answer.");
    model.setAskForUnknownRoutes(false);
    EXPECT_EQ(model.toggleNote(), "Emails without a route always start a new chat.");
    EXPECT_FALSE(Config::load(file).askForUnknownRoutes);
}

// The tab on screen, driven through its widgets.
struct RoutesTabOnScreen : RoutesTabFixture {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    pellora::testing::ScriptedShellUI ui;
    NoInstaller installer;
    ActivityStore activity{pellora::testing::testHome() / "activity.jsonl"};
    UpdateManager updates{store, {clock, ui, installer, std::nullopt}};
    SettingsContext context{store, activity, updates, AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui};
    std::unique_ptr<RoutesTab> tab;

    void SetUp() override {
        desktop.install(claude);
        desktop.launch(SimClaude::identifier);
        claude->addChat("Invoices", "invoices");
        tab = std::make_unique<RoutesTab>(context);
        tab->resize(720, 900);
        tab->show();
    }

    RouteList* list() const { return tab->findChild<RouteList*>(); }
    QToolButton* button(const char* name) const { return named<QToolButton>(tab.get(), name); }
    QString testLine() const { return tab->findChild<QLabel*>("testResult")->accessibleName(); }

    // Drops the row at `from` onto the upper half of the row at `onto`.
    void drag(int from, int onto) {
        QMimeData data;
        data.setData(RouteList::rowMimeType(), QByteArray::number(from));
        const QRect target = list()->visualItemRect(list()->item(onto));
        const QPoint at(target.center().x(), target.top() + 2);
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &move);
        QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &drop);
        QApplication::processEvents();
    }
};

TEST_F(RoutesTabOnScreen, AddEditReorderRemoveAndTest) {
    // Empty: the empty state and a disabled "minus".
    auto* stack = tab->findChild<QStackedWidget*>();
    EXPECT_EQ(stack->currentWidget()->accessibleName(),
              "No routes yet.\nThey are added when you send an email that has none, or with +.");
    EXPECT_FALSE(button("Remove Route")->isEnabled());

    // "+" opens the form; typing a domain and pressing Return saves it.
    std::vector<QString> sheetTitles;
    whenModal([&](QWidget* sheet) {
        sheetTitles.push_back(sheet->windowTitle());
        auto* pattern = named<QLineEdit>(sheet, "Domain");
        QTest::keyClick(named<QComboBox>(sheet, "Email field"), Qt::Key_Home); // From
        QTest::keyClicks(pattern, "jane@example.com");
        EXPECT_TRUE(named<QLabel>(sheet, "Enter just the domain, like example.com.")->isVisible());
        QTest::keyClick(pattern, Qt::Key_Return); // the default button is disabled
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_FALSE(std::filesystem::exists(file));
        pattern->clear();
        QTest::keyClicks(pattern, "Example.com");
        QTest::keyClick(pattern, Qt::Key_Return);
    });
    QTest::mouseClick(button("Add Route"), Qt::LeftButton);
    EXPECT_EQ(routesOnDisk(), Routes{route("example.com")});
    EXPECT_EQ(stack->currentWidget(), list());
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->item(0)->data(Qt::AccessibleTextRole).toString(), "example.com, From, Domain, New chat each time");

    // A second route by the chooser's chat picker, read from Claude's sidebar.
    whenModal([&](QWidget* sheet) {
        QTest::keyClicks(named<QLineEdit>(sheet, "Domain"), "mail.example.com");
        QTest::keyClick(named<QComboBox>(sheet, "Email field"), Qt::Key_Home);
        QTest::keyClick(named<QComboBox>(sheet, "Send it to"), Qt::Key_Home); // Existing chat
        auto* save = named<QPushButton>(sheet, "Save");
        EXPECT_FALSE(save->isEnabled());
        auto* chats = named<QComboBox>(sheet, "Chat");
        EXPECT_EQ(chats->itemText(1), "Invoices");
        QTest::keyClick(chats, Qt::Key_Down);
        QTest::mouseClick(save, Qt::LeftButton);
    });
    QTest::mouseClick(button("Add Route"), Qt::LeftButton);
    const Route invoices = route("mail.example.com", MatchField::from, DestinationKind::chat, "Invoices");
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com"), invoices}));
    EXPECT_EQ(list()->item(0)->data(Qt::AccessibleTextRole).toString(),
              "example.com, From, Domain, New chat each time, Overlaps with mail.example.com. The one higher in the list wins.");
    EXPECT_EQ(list()->currentRow(), 1); // the new route is selected
    EXPECT_TRUE(button("Remove Route")->isEnabled());

    // Return on a row edits it; Escape cancels and changes nothing.
    whenModal([&](QWidget* sheet) {
        sheetTitles.push_back(sheet->windowTitle());
        EXPECT_EQ(named<QLineEdit>(sheet, "Domain")->text(), "mail.example.com");
        QTest::keyClick(named<QLineEdit>(sheet, "Domain"), Qt::Key_Escape);
    });
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com"), invoices}));

    // Dragging the second row above the first saves the new order at once.
    drag(1, 0);
    EXPECT_EQ(routesOnDisk(), (Routes{invoices, route("example.com")}));
    EXPECT_EQ(list()->currentRow(), 0);

    // The tester reads the live list, and the toggle changes its no-match line.
    QTest::keyClicks(named<QLineEdit>(tab.get(), "Sender"), "Ann <ann@mail.example.com>");
    EXPECT_EQ(testLine(), "From mail.example.com (domain) matches ann@mail.example.com, so it goes to: Invoices.");
    named<QLineEdit>(tab.get(), "Sender")->clear();
    QTest::keyClicks(named<QLineEdit>(tab.get(), "Recipient"), "bob@example.net");
    EXPECT_EQ(testLine(), "No route matches. The app would ask where to send it.");
    QTest::keyClick(named<QCheckBox>(tab.get(), "Ask where to send emails that have no route"), Qt::Key_Space);
    EXPECT_EQ(testLine(), "No route matches. It would start a new chat.");
    EXPECT_FALSE(Config::load(file).askForUnknownRoutes);

    // "minus" removes the selected route.
    QTest::mouseClick(button("Remove Route"), Qt::LeftButton);
    EXPECT_EQ(routesOnDisk(), Routes{route("example.com")});
    EXPECT_FALSE(button("Remove Route")->isEnabled());
    EXPECT_EQ(sheetTitles, (std::vector<QString>{"Add Route", "Edit Route"}));
    EXPECT_EQ(pellora::testing::tabStops(list()),
              (std::vector<std::string>{"Routes", "Add Route", "Ask where to send emails that have no route", "Sender",
                                        "Recipient"}));
}

} // namespace
} // namespace pellora
