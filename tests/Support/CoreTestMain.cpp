#include <gtest/gtest.h>

#include "TestHome.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    pellora::testing::installTestHomeListener();
    return RUN_ALL_TESTS();
}
