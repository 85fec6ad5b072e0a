#include "RouteChooser.h"

#include <algorithm>

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "Pellora/Settings/RouteEditorView.h"
#include "Pellora/Settings/RouteStyle.h"

namespace pellora::RouteChooser {

RouteEditor::Inputs editorInputs(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt,
                                 std::function<std::vector<std::string>()> loadChats) {
    const std::string address = suggestion.address(suggestion.field).value_or("");
    const std::string direction =
        suggestion.field == MatchField::from ? "mail received from " : "mail sent to ";

    RouteEditor::Inputs inputs;
    inputs.title = "No route for this email yet";
    inputs.subtitle = "There's no Claude destination yet for " + direction + address +
                      ". Choose one and Tovrin will remember it.";
    inputs.initial.domain = Router::domain(address).value_or(address);
    inputs.initial.matchOn = suggestion.field;
    inputs.initial.kind = DestinationKind::newChat;
    inputs.suggestions = suggestion;
    inputs.offersOnce = true;
    inputs.previewPrompt = previewPrompt;
    inputs.loadChats = std::move(loadChats);
    return inputs;
}

ChooserResult ask(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt,
                  std::function<std::vector<std::string>()> loadChats) {
    ChooserResult answer = ChooserResult::cancel();
    // A title bar and nothing else: no close, minimise or resize control. Closing it anyway
    // (from the window manager) leaves the answer at cancel.
    QDialog window(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    window.setWindowTitle(QStringLiteral("Tovrin"));
    window.setWindowModality(Qt::ApplicationModal);

    const auto answerWith = [&answer, &window](ChooserResult result) {
        answer = std::move(result);
        window.done(QDialog::Accepted);
    };
    RouteEditor::Inputs inputs = editorInputs(suggestion, previewPrompt, std::move(loadChats));
    inputs.onSave = [&](const Route& route) { answerWith(ChooserResult::save(route)); };
    inputs.onOnce = [&](const Route& route) { answerWith(ChooserResult::once(route)); };
    inputs.onNeverAsk = [&] { answerWith(ChooserResult::alwaysNewChat()); };
    inputs.onCancel = [&] { answerWith(ChooserResult::cancel()); };
    RouteEditor editor(std::move(inputs));

    auto* layout = RouteStyle::column(&window, 0);
    auto* view = new RouteEditorView(editor, &window);
    layout->addWidget(view);

    QSize size = view->sizeHint();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        size.setHeight(std::min(size.height(), area.height() - 60));
        window.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    window.setFixedSize(size);

    // In front of Mail, whichever application is active.
    window.show();
    window.raise();
    window.activateWindow();
    window.exec();
    window.hide();
    return answer;
}

} // namespace pellora::RouteChooser
