// A DatabaseConnection for tests: records what the manager does with it ("open <string>",
// "close", and every statement text) and answers from a script instead of a server.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/database_connection.h"
#include "db/database_manager.h"

namespace plexivar::testing {

struct ScriptedAnswer {
    db::QueryOutcome outcome = db::QueryOutcome::Rows;
    std::vector<db::ResultRow> rows;  // for Rows
    std::string error;                // for Failed
};

// What the connection does, shared with the test after the manager took ownership.
struct ConnectionScript {
    std::vector<std::string> events;  // "open ...", "close", statement texts
    bool openFails = false;
    std::string openError;            // "" with openFails: a failure without diagnostics
    bool dropsAfterOpen = false;      // the handle is gone again right after each open
    // Answers for statements that start with the key; statements without one succeed
    // with no rows.
    std::map<std::string, ScriptedAnswer> answers;
    // Calls that overlapped another call (two threads inside the connection at once).
    std::atomic<int> overlaps{0};

    void Answer(const std::string& prefix, ScriptedAnswer answer) { answers[prefix] = answer; }
    // Only the statement texts, without opens and closes.
    std::vector<std::string> Statements() const;
    int Count(const std::string& event) const;
};

class RecordingConnection final : public db::DatabaseConnection {
public:
    explicit RecordingConnection(std::shared_ptr<ConnectionScript> script)
        : script_(std::move(script)) {}

    bool Open(const std::string& connectionString, std::string& error) override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    bool Execute(const std::string& statement, std::string& error) override;
    db::QueryOutcome Query(const std::string& statement, const db::RowVisitor& visit,
                           std::string& error) override;

private:
    const ScriptedAnswer* Find(const std::string& statement) const;
    // Notes a call, counting it when another one is still inside.
    class Inside;

    std::shared_ptr<ConnectionScript> script_;
    std::atomic<int> inside_{0};
    bool open_ = false;
};

// A database manager on a recording connection, with the settings it reads and the
// script its connection follows; the host name is "PREPRESS1".
struct RecordingManager {
    ServiceSettings settings;
    std::shared_ptr<ConnectionScript> script = std::make_shared<ConnectionScript>();
    db::DatabaseManager manager{settings, std::make_unique<RecordingConnection>(script),
                                "PREPRESS1"};
};

}  // namespace plexivar::testing
