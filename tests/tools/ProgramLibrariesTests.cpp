// The program maps only what its quick commands use: the drawing libraries come with the drawing
// module, when a command that draws runs.

#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProgramLibrariesTest, TheProgramStartsWithoutTheDrawingLibraries) {
    std::string libraries;
    ASSERT_EQ(runCommand(std::string("ldd ") + ZV_ZORVI, libraries), 0) << libraries;
    ASSERT_NE(libraries.find("libzv_foundation.so"), std::string::npos) << libraries;
    for (const char* heavy : {"libcairo", "libpango", "libSDL2", "libavcodec", "libzv_graphics", "libzv_ui",
                              "libzv_prefs.so", "libzv_wave"})
        EXPECT_EQ(libraries.find(heavy), std::string::npos) << heavy << " is mapped at start:\n" << libraries;

    std::string module;
    ASSERT_EQ(runCommand("ldd " + std::string(ZV_DRAWING_MODULE), module), 0) << module;
    EXPECT_NE(module.find("libcairo"), std::string::npos) << module;
    EXPECT_EQ(module.find("not found"), std::string::npos) << module;
}
