// plexivar_test_database start|stop
//
// Starts the PostgreSQL cluster that a test run shares (the CTest fixture's set-up) and
// stops it again (its clean-up). The state lives in the build tree, where the tests'
// helper finds it. Without PostgreSQL the start says why and succeeds, so that the
// database tests run and skip with that reason.
#include <iostream>
#include <string>

#include "tests/db/test_database.h"

using plexivar::testing::SharedStateDir;
using plexivar::testing::TestDatabaseServer;

int main(int argc, char** argv) {
    const std::string command = argc == 2 ? argv[1] : "";
    if (command != "start" && command != "stop") {
        std::cerr << "usage: plexivar_test_database start|stop\n";
        return 2;
    }
    const std::string stateDir = SharedStateDir();
    // A cluster left behind by an interrupted run goes first.
    TestDatabaseServer::Attach(stateDir, true).reset();
    TestDatabaseServer::ForgetState(stateDir);
    if (command == "stop") return 0;

    std::string error;
    bool unavailable = false;
    auto server = TestDatabaseServer::Start(error, unavailable);
    if (!server) {
        std::cout << "no test database server: " << error << "\n";
        return unavailable ? 0 : 1;
    }
    if (!server->SaveState(stateDir, error)) {
        std::cout << error << "\n";
        return 1;
    }
    server->KeepRunning();
    std::cout << "PostgreSQL test cluster on 127.0.0.1:" << server->port() << " in "
              << server->folder() << "\n";
    return 0;
}
