// Modules built beside the project's libraries, found there by file name and loaded once.

#include "platform/foundation/ProjectModule.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProjectModuleTest, FindsAnEntryOfAModuleBesideTheLibrariesAndLoadsItOnce) {
    std::string error;
    void* entry = ProjectModule::entry("libquiet_library.so", "zv_loadedAnswer", error);
    ASSERT_NE(entry, nullptr) << error;
    EXPECT_EQ(reinterpret_cast<int (*)()>(entry)(), 42);
    EXPECT_EQ(ProjectModule::entry("libquiet_library.so", "zv_loadedAnswer", error), entry);
    EXPECT_EQ(ProjectModule::path("libquiet_library.so"), ZV_QUIET_LIBRARY);
}

TEST(ProjectModuleTest, AMissingModuleOrEntryIsAnErrorEveryTime) {
    std::string error;
    EXPECT_EQ(ProjectModule::entry("libquiet_library.so", "zv_noSuchEntry", error), nullptr);
    EXPECT_NE(error.find("zv_noSuchEntry"), std::string::npos) << error;
    for (int i = 0; i < 2; ++i) {
        error.clear();
        EXPECT_EQ(ProjectModule::entry("libzv_no_such_module.so", "zv_loadedAnswer", error), nullptr);
        EXPECT_NE(error.find("libzv_no_such_module.so"), std::string::npos) << error;
    }
}
