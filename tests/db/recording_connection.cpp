#include "tests/db/recording_connection.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace plexivar::testing {

class RecordingConnection::Inside {
public:
    explicit Inside(RecordingConnection& connection) : connection_(connection) {
        if (connection_.inside_.fetch_add(1) != 0) ++connection_.script_->overlaps;
        // Widen the window in which an unserialised second caller would show up.
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    ~Inside() { connection_.inside_.fetch_sub(1); }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;

private:
    RecordingConnection& connection_;
};

std::vector<std::string> ConnectionScript::Statements() const {
    std::vector<std::string> statements;
    for (const std::string& event : events)
        if (event != "close" && event.rfind("open ", 0) != 0) statements.push_back(event);
    return statements;
}

int ConnectionScript::Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
}

bool RecordingConnection::Open(const std::string& connectionString, std::string& error) {
    Inside inside(*this);
    script_->events.push_back("open " + connectionString);
    if (script_->openFails) {
        error = script_->openError;
        return false;
    }
    open_ = !script_->dropsAfterOpen;
    return true;
}

void RecordingConnection::Close() {
    Inside inside(*this);
    if (open_) script_->events.push_back("close");
    open_ = false;
}

const ScriptedAnswer* RecordingConnection::Find(const std::string& statement) const {
    for (const auto& [prefix, answer] : script_->answers)
        if (statement.rfind(prefix, 0) == 0) return &answer;
    return nullptr;
}

bool RecordingConnection::Execute(const std::string& statement, std::string& error) {
    Inside inside(*this);
    script_->events.push_back(statement);
    const ScriptedAnswer* answer = Find(statement);
    if (answer != nullptr && answer->outcome == db::QueryOutcome::Failed) {
        error = answer->error;
        return false;
    }
    return true;
}

db::QueryOutcome RecordingConnection::Query(const std::string& statement,
                                            const db::RowVisitor& visit, std::string& error) {
    Inside inside(*this);
    script_->events.push_back(statement);
    const ScriptedAnswer* answer = Find(statement);
    if (answer == nullptr) return db::QueryOutcome::Rows;
    if (answer->outcome == db::QueryOutcome::Failed) error = answer->error;
    if (answer->outcome == db::QueryOutcome::Rows) {
        for (const db::ResultRow& row : answer->rows)
            if (!visit(row)) break;
    }
    return answer->outcome;
}

}  // namespace plexivar::testing
