#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

#include "TestHome.h"

int main(int argc, char** argv) {
    // Windows are real but never shown on a screen.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    pellora::testing::installTestHomeListener();
    return RUN_ALL_TESTS();
}
