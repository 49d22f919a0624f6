// GoogleTest's entry point for the UI tests: one application object for all.

#include "shell.h"

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    testing::InitGoogleTest(&argc, argv);
    // No display needed: Qt draws into memory unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tarvidon::Application application(argc, argv);
    return RUN_ALL_TESTS();
}
