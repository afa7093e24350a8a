// The [Status] keys: read from plexivar.ini with their defaults, printed with the other
// settings, and never written by the program (an operator sets them by hand).
#include <gtest/gtest.h>

#include "service/config/settings.h"
#include "tests/support/temp_dir.h"

namespace plexivar::testing {
namespace {

TEST(StatusSettings, AreReadPrintedAndLeftAsTheOperatorWroteThem) {
    struct Case {
        const char* ini;
        int port;
        const char* address;
    };
    for (const Case& c :
         {Case{"", 0, "127.0.0.1"}, Case{"[Status]\r\nPort=9184\r\n", 9184, "127.0.0.1"},
          Case{"[status]\r\nport = 8080\r\naddress = \"0.0.0.0\"\r\n", 8080, "0.0.0.0"},
          Case{"[Setup]\r\nPort=1\r\n[Status]\r\nAddress=::1\r\n", 0, "::1"}}) {
        TempDir dir;
        const std::string ini = dir.Write("plexivar.ini", c.ini);
        Settings settings;
        LoadSettings(ini, dir.path(), settings);
        EXPECT_EQ(settings.service.Status.Port, c.port) << c.ini;
        EXPECT_EQ(settings.service.Status.Address, c.address) << c.ini;
        const std::string printed = SettingsAsIniText(settings);
        EXPECT_NE(printed.find("\n[Status]\nPort=" + std::to_string(c.port) +
                               "\nAddress=" + c.address + "\n"),
                  std::string::npos)
            << printed;

        // Saving the other settings keeps the section as it was written.
        settings.service.Status.Port = 1;
        ASSERT_TRUE(SaveSettings(ini, settings));
        Settings again;
        LoadSettings(ini, dir.path(), again);
        EXPECT_EQ(again.service.Status.Port, c.port) << c.ini;
    }
}

}  // namespace
}  // namespace plexivar::testing
