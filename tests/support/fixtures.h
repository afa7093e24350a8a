// Access to the shared sample separations that live beside the repository.
// Tests that need them call PLEXIVAR_REQUIRE_FIXTURES() first, which skips the test
// (saying why) when the folder is absent.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace plexivar::testing {

// The fixture folder, or "" when it does not exist.
std::string FixturesDir();
// Path of one fixture file (only meaningful when FixturesDir() is not empty).
std::string FixturePath(const std::string& name);

}  // namespace plexivar::testing

#define PLEXIVAR_REQUIRE_FIXTURES()                                                   \
    do {                                                                              \
        if (::plexivar::testing::FixturesDir().empty())                               \
            GTEST_SKIP() << "shared fixtures folder not found (set "                  \
                            "PLEXIVAR_FIXTURES_DIR or place shared/ beside the repo)"; \
    } while (0)
