#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include <QApplication>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "TestHome.h"

namespace {

bool xServerAnswers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

} // namespace

int main(int argc, char** argv) {
    // Mail gives dates in the machine's time zone; the tests expect them in UTC wherever they run.
    setenv("TZ", "UTC", 1);
    tzset();
    // Windows are real but never shown on a screen.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (std::string_view(platform) == "xcb" && !xServerAnswers()) {
        // Qt would abort the whole program; offscreen, the tests that need X skip instead.
        std::fprintf(stderr, "No X server answers on DISPLAY; running offscreen.\n");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    pellora::testing::installTestHomeListener();
    return RUN_ALL_TESTS();
}
