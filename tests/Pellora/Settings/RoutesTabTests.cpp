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
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "App/Driving.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Settings/RouteList.h"
#include "Pellora/Settings/RoutesTab.h"
#include "Pellora/Settings/RoutesTabModel.h"
#include "SettingsFixture.h"
#include "RouteMaker.h"

namespace pellora {
namespace {

using pellora::testing::route;
using pellora::testing::whenModal;
using Routes = std::vector<Route>;
using Line = std::optional<std::string>;
using Kind = DestinationKind;
constexpr auto from = MatchField::from;
constexpr auto to = MatchField::to;

struct RoutesTabTest : pellora::testing::SettingsFixture {
    RoutesTabModel model{store};

    void setRoutes(Routes routes) { configure([&](Config& config) { config.routes = std::move(routes); }); }
    static Routes routesOnDisk() { return configOnDisk().routes; }
};

TEST_F(RoutesTabTest, RowsShowChipsInstructionsAndOverlapsInListOrder) {
    setRoutes({route("example.com", from, Kind::newChat, std::nullopt, std::nullopt, "\n \n  Reply in Dutch.  \nSign."),
               route("mail.example.com", from), route("example.com", to), route("jane@example.com", from),
               route("b.mail.example.com", from, Kind::newChat, std::nullopt, std::nullopt, "First\r\nSecond"),
               route("example.org", from, Kind::newChat, std::nullopt, std::nullopt, "\u2028 \t\n")});
    using Row = std::tuple<std::string, std::string, Line, Line>;
    const std::vector<Row> expected = {
        {"From", "Domain", "Reply in Dutch.",
         "Overlaps with mail.example.com, b.mail.example.com. The one higher in the list wins."},
        {"From", "Domain", {}, "Overlaps with example.com, b.mail.example.com. The one higher in the list wins."},
        {"To", "Domain", {}, {}},    // a To rule never overlaps a From rule
        {"From", "Address", {}, {}}, // an address rule overlaps nothing
        {"From", "Domain", "First", "Overlaps with example.com, mail.example.com. The one higher in the list wins."},
        {"From", "Domain", {}, {}},
    };
    std::vector<Row> rows;
    for (const auto& row : model.rows())
        rows.emplace_back(row.fieldChip(), row.ruleChip(), row.instructionsLine(), row.warning());
    EXPECT_EQ(rows, expected);
}

TEST_F(RoutesTabTest, TesterSaysWhichRouteWouldApply) {
    const std::tuple<const char*, const char*, bool, std::string> cases[] = {
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
         "**From first\\_last@example.edu** (address) matches first\\_last@example.edu, so it goes to: **New chat "
         "each time**."},
    };
    setRoutes({route("jane@example.com", from, Kind::chat, "Jane Doe"),
               route("example.com", from, Kind::project, "Example Corp"), route("example.org", to),
               route("example.net", from, Kind::incognito), route("first_last@example.edu", from)});
    for (const auto& [sender, recipient, ask, line] : cases) {
        SCOPED_TRACE(line);
        model.setAskForUnknownRoutes(ask);
        model.testFrom = sender;
        model.testTo = recipient;
        EXPECT_EQ(model.testResult(), line);
    }
}

TEST_F(RoutesTabTest, EditorInputsAndEditsOfTheList) {
    const auto add = model.editorInputs(std::nullopt);
    EXPECT_EQ(std::tuple(add.title, add.subtitle, add.initial, add.suggestions.has_value(), add.offersOnce),
              std::tuple("Add Route", "Choose which emails this applies to, and where Claude should receive them.",
                         route("", to, Kind::newChat), false, false));
    EXPECT_TRUE(add.previewPrompt.starts_with("Below is an email I received. Using everything you know"));
    const Route jane = route("jane@example.com", from, Kind::chat, "Jane Doe");
    EXPECT_EQ(std::tuple(model.editorInputs(jane).title, model.editorInputs(jane).initial),
              std::tuple("Edit Route", jane));

    // Adding a field and pattern that exist replaces the old route and goes to the end.
    const Route corp = route("example.com", from, Kind::project, "Example Corp"), net = route("example.net", to);
    setRoutes({corp, jane, net});
    model.saveEdit(std::nullopt, route("  @Example.COM ", from, Kind::incognito));
    EXPECT_EQ(routesOnDisk(), (Routes{jane, net, route("example.com", from, Kind::incognito)}));
    EXPECT_EQ(model.selection(), "from:example.com");
    // Editing keeps the place, and one edited into another's field and pattern removes the other.
    model.saveEdit(net, route("EXAMPLE.com", from));
    EXPECT_EQ(routesOnDisk(), (Routes{jane, route("example.com", from)}));

    // Removing needs a selection of a route that exists.
    model.select("to:gone.example");
    model.removeSelected();
    EXPECT_EQ(routesOnDisk().size(), 2u);
    model.select(jane.id());
    model.removeSelected();
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from)}));
    EXPECT_FALSE(model.canRemove());
}

TEST_F(RoutesTabTest, ExplainerAndToggleNote) {
    const auto& examples = RoutesTabModel::examples();
    ASSERT_EQ(examples.size(), 2u);
    EXPECT_EQ(examples[0].line(), "Email matching **jane@example.com** → the chat “Jane Doe”");
    EXPECT_EQ(examples[1].note, "a client you write to and hear from needs one From route and one To route");
    EXPECT_EQ(model.toggleNote(), "A window asks the first time you send an email that has none, and remembers your answer.");
    model.setAskForUnknownRoutes(false);
    EXPECT_EQ(model.toggleNote(), "Emails without a route always start a new chat.");
    EXPECT_FALSE(configOnDisk().askForUnknownRoutes);
}

// The tab on screen, driven through its widgets.
struct RoutesTabOnScreen : RoutesTabTest {
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
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
    template <class T = QToolButton> T* find(const QWidget* root, const char* accessibleName) const {
        return pellora::testing::named<T>(root, accessibleName);
    }
    QString testLine() const { return tab->findChild<QLabel*>("testResult")->accessibleName(); }
    QString row(int index) const { return list()->item(index)->data(Qt::AccessibleTextRole).toString(); }

    // Drops the row at `from` onto the upper half of the row at `onto`.
    void drag(int from, int onto) {
        QMimeData data;
        data.setData(RouteList::rowMimeType(), QByteArray::number(from));
        const QRect target = list()->visualItemRect(list()->item(onto));
        const QPoint at(target.center().x(), target.top() + 2);
        QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &enter);
        QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &drop);
        QApplication::processEvents();
    }
};

TEST_F(RoutesTabOnScreen, AddEditReorderRemoveAndTest) {
    EXPECT_EQ(tab->findChild<QStackedWidget*>()->currentWidget()->accessibleName(),
              "No routes yet.\nThey are added when you send an email that has none, or with +.");
    EXPECT_FALSE(find(tab.get(), "Remove Route")->isEnabled());

    // "+" opens the form; Return saves once the pattern is valid.
    std::vector<QString> titles;
    whenModal([&](QWidget* sheet) {
        titles.push_back(sheet->windowTitle());
        auto* pattern = find<QLineEdit>(sheet, "Domain");
        QTest::keyClick(find<QComboBox>(sheet, "Email field"), Qt::Key_Home); // From
        QTest::keyClicks(pattern, "jane@example.com");
        QTest::keyClick(pattern, Qt::Key_Return);
        EXPECT_FALSE(std::filesystem::exists(UserFolders::pelloraSupport() / "config.json"));
        pattern->clear();
        QTest::keyClicks(pattern, "Example.com");
        QTest::keyClick(pattern, Qt::Key_Return);
    });
    QTest::mouseClick(find(tab.get(), "Add Route"), Qt::LeftButton);
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from)}));
    EXPECT_EQ(row(0), "example.com, From, Domain, New chat each time");

    // A second route to a chat picked from Claude's sidebar.
    whenModal([&](QWidget* sheet) {
        QTest::keyClicks(find<QLineEdit>(sheet, "Domain"), "mail.example.com");
        QTest::keyClick(find<QComboBox>(sheet, "Email field"), Qt::Key_Home);
        QTest::keyClick(find<QComboBox>(sheet, "Send it to"), Qt::Key_Home); // Existing chat
        auto* save = find<QPushButton>(sheet, "Save");
        EXPECT_FALSE(save->isEnabled());
        // The settings form offers neither a one-time answer nor the never-ask switch.
        EXPECT_TRUE(find<QPushButton>(sheet, "Just This Once")->isHidden());
        EXPECT_FALSE(find<QCheckBox>(sheet, "Don't ask again. Always start a new chat when no route matches."));
        QTest::keyClick(find<QComboBox>(sheet, "Chat"), Qt::Key_Down);
        QTest::mouseClick(save, Qt::LeftButton);
    });
    QTest::mouseClick(find(tab.get(), "Add Route"), Qt::LeftButton);
    const Route invoices = route("mail.example.com", from, Kind::chat, "Invoices");
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from), invoices}));
    EXPECT_EQ(row(0), "example.com, From, Domain, New chat each time, Overlaps with mail.example.com. The one higher "
                      "in the list wins.");
    EXPECT_EQ(list()->currentRow(), 1); // the new route is selected

    // Return on a row edits it; Escape cancels and changes nothing.
    whenModal([&](QWidget* sheet) {
        titles.push_back(sheet->windowTitle());
        EXPECT_EQ(find<QLineEdit>(sheet, "Domain")->text(), "mail.example.com");
        QTest::keyClick(find<QLineEdit>(sheet, "Domain"), Qt::Key_Escape);
    });
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_EQ(titles, (std::vector<QString>{"Add Route", "Edit Route"}));
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from), invoices}));

    // Reordering saves at once: by dragging, and with Alt and an arrow key.
    drag(1, 0);
    EXPECT_EQ(routesOnDisk(), (Routes{invoices, route("example.com", from)}));
    EXPECT_EQ(list()->currentRow(), 0);
    QTest::keyClick(list(), Qt::Key_Down, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from), invoices}));
    EXPECT_EQ(list()->currentRow(), 1);

    // The tester reads the live list, and the toggle changes its no-match line.
    QTest::keyClicks(find<QLineEdit>(tab.get(), "Sender"), "Ann <ann@mail.example.com>");
    EXPECT_EQ(testLine(), "From example.com (domain) matches ann@mail.example.com, so it goes to: New chat each time.");
    find<QLineEdit>(tab.get(), "Sender")->clear();
    QTest::keyClicks(find<QLineEdit>(tab.get(), "Recipient"), "bob@example.net");
    EXPECT_EQ(testLine(), "No route matches. The app would ask where to send it.");
    QTest::keyClick(find<QCheckBox>(tab.get(), "Ask where to send emails that have no route"), Qt::Key_Space);
    EXPECT_EQ(testLine(), "No route matches. It would start a new chat.");
    EXPECT_FALSE(configOnDisk().askForUnknownRoutes);

    // "minus" removes the selected route.
    QTest::mouseClick(find(tab.get(), "Remove Route"), Qt::LeftButton);
    EXPECT_EQ(routesOnDisk(), (Routes{route("example.com", from)}));
    EXPECT_FALSE(find(tab.get(), "Remove Route")->isEnabled());
    EXPECT_EQ(pellora::testing::tabStops(list()),
              (std::vector<std::string>{"Routes", "Add Route", "Ask where to send emails that have no route", "Sender",
                                        "Recipient"}));
}

} // namespace
} // namespace pellora
