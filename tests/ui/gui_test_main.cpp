// Runs GUI tests offscreen, with Chinese settings like the program and every message box
// answered from a script instead of waiting for a person.
#include "app/application.h"
#include "ui/message_box.h"
#include "ui/ui_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QuillonApplication app(argc, argv);
    InitUiResources();
    MessageBoxes::Script({});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
