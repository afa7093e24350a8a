#include "db/database_manager.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <thread>

#include "db/connection_string.h"
#include "db/statement_text.h"
#include "platform/c_locale.h"
#include "platform/text.h"

namespace plexivar::db {
namespace {

constexpr int kZoneAttempts = 4;
constexpr std::chrono::milliseconds kZoneRetryPause{500};

// Error prefixes, as operators and plant IT know them from the log.
constexpr const char* kUpdateFailedTagged = "ERROR (DATABASEMGR): Update failed - ";
constexpr const char* kUpdateFailed = "Update failed - ";
constexpr const char* kQueryFailedTagged = "ERROR (DATABASEMGR): Query failed - ";
constexpr const char* kQueryFailed = "Query failed - ";

}  // namespace

std::string LocalHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) return {};
    return name.data();
}

DatabaseManager::DatabaseManager(const ServiceSettings& settings,
                                 std::unique_ptr<DatabaseConnection> connection,
                                 std::string hostName)
    : settings_(settings), connection_(std::move(connection)), hostName_(std::move(hostName)) {}

DatabaseManager::~DatabaseManager() {
    std::lock_guard lock(mutex_);
    DropConnection();
}

void DatabaseManager::DropConnection() {
    connected_ = false;
    connection_->Close();
}

bool DatabaseManager::ConnectWith(const std::string& dsn, const std::string& user,
                                  const std::string& password, bool keepConnection,
                                  std::string& error) {
    std::lock_guard lock(mutex_);
    // New credentials (a changed data source, say) take effect now, not at the next error.
    if (dsn != dsn_ || user != user_ || password != password_) DropConnection();
    dsn_ = dsn;
    user_ = user;
    password_ = password;
    keepConnection_ = keepConnection;
    return ConnectLocked(error);
}

bool DatabaseManager::Connect(std::string& error) {
    std::lock_guard lock(mutex_);
    return ConnectLocked(error);
}

bool DatabaseManager::ConnectLocked(std::string& error) {
    error.clear();
    // A connection the driver has let go of counts as closed.
    if (!connection_->IsOpen()) DropConnection();
    if (connected_) {
        if (keepConnection_) return true;
        // Without keep-connection every statement gets a connection of its own.
        DropConnection();
    }
    if (dsn_.empty() || user_.empty()) {
        error = "Empty DSN or username not allowed";
        return false;
    }
    std::string odbcError;
    if (!connection_->Open(BuildConnectionString(dsn_, user_, password_), odbcError)) {
        DropConnection();
        const std::string shown = ShownConnectionString(dsn_, user_, password_);
        error = odbcError.empty()
                    ? "Error connecting to database with connection string '" + shown + "'"
                    : "Error connecting to database - " + odbcError + " (" + shown + ")";
        return false;
    }
    connected_ = true;
    return true;
}

int DatabaseManager::SendLocked(const std::string& statement, const char* prefix,
                                std::string& error) {
    if (!ConnectLocked(error)) return -1;
    std::string odbcError;
    if (!connection_->Execute(statement, odbcError)) {
        error = prefix + odbcError;
        DropConnection();
        return 0;
    }
    return 1;
}

int DatabaseManager::ProcessKind() const {
    return settings_.RegisterAsBackup != 0 ? kProcessKindBackup : kProcessKindMain;
}

QueryOutcome DatabaseManager::QueryLocked(const std::string& statement, const RowVisitor& visit,
                                          const std::string& odbcPrefix,
                                          const std::string& odbcSuffix, std::string& error) {
    std::string odbcError;
    const QueryOutcome outcome = connection_->Query(statement, visit, odbcError);
    if (outcome == QueryOutcome::NoResultSet) error = kQueryFailed + statement;
    if (outcome == QueryOutcome::Failed) {
        error = odbcPrefix + odbcError + odbcSuffix;
        DropConnection();
    }
    return outcome;
}

int DatabaseManager::RegisterProcess(std::string& error) {
    std::lock_guard lock(mutex_);
    if (!ConnectLocked(error)) return -1;
    int locationId = LocationIdForLocked(settings_.LocationName);
    if (locationId == 0) locationId = 1;
    int id = -1;  // no row: no process id
    const auto readId = [&id](const ResultRow& row) {
        id = row.empty() ? 0 : platform::ParseInt(row.front());
        return false;
    };
    switch (QueryLocked(
        RegisterProcessStatement(ProcessKind(), hostName_, settings_.ProcessText, locationId),
        readId, kUpdateFailedTagged, "", error)) {
        case QueryOutcome::Rows:
            return id;
        case QueryOutcome::NoResultSet:
            return 0;
        case QueryOutcome::Failed:
            break;
    }
    return -1;
}

int DatabaseManager::UpdateProcess(int processId, int stateA, int stateB, const std::string& text1,
                                   const std::string& text2, std::string& error) {
    std::lock_guard lock(mutex_);
    const int sent = SendLocked(UpdateProcessStatement(processId, stateA, stateB, text1, text2),
                                kUpdateFailedTagged, error);
    return sent == 1 ? 1 : 0;
}

int DatabaseManager::UpdateFlatPageTable(std::int64_t flatSeparation, int statusCode,
                                         const std::string& message, std::string& error) {
    std::lock_guard lock(mutex_);
    return SendLocked(UpdateFlatPageTableStatement(flatSeparation, processId_, ProcessKind(),
                                                   statusCode, message),
                      kUpdateFailedTagged, error);
}

int DatabaseManager::SetExternalStatus(std::int64_t flatSeparation, int externalStatus,
                                       std::string& error) {
    std::lock_guard lock(mutex_);
    error.clear();
    if (flatSeparation <= 1) return 1;
    const int sent =
        SendLocked(ExternalStatusStatement(flatSeparation, externalStatus), kUpdateFailed, error);
    return sent == 1 ? 1 : 0;
}

int DatabaseManager::SetPageError(std::int64_t flatSeparation, int status,
                                  const std::string& lastError, std::string& error) {
    std::lock_guard lock(mutex_);
    error.clear();
    if (flatSeparation <= 1) return 1;
    const int sent =
        SendLocked(PageErrorStatement(flatSeparation, status, lastError), kUpdateFailed, error);
    return sent == 1 ? 1 : 0;
}

int DatabaseManager::AddLogEntry(std::int64_t flatSeparation, int eventCode,
                                 const std::string& message, const std::string& fileName,
                                 std::string& error) {
    std::lock_guard lock(mutex_);
    error.clear();
    if (flatSeparation == 0 || settings_.UpdateLog == 0) return 1;
    const int sent = SendLocked(AddLogEntryStatement(processId_, eventCode, flatSeparation,
                                                     message, fileName, logFileNameColumn_),
                                kUpdateFailedTagged, error);
    return sent == 1 ? 1 : 0;
}

int DatabaseManager::LookupZone(std::int64_t flatSeparation, std::string& zone,
                                std::string& error) {
    std::lock_guard lock(mutex_);
    zone.clear();
    if (!ConnectLocked(error)) return 0;
    const auto readZone = [&zone](const ResultRow& row) {
        if (!row.empty()) zone = row.front();
        return false;
    };
    const QueryOutcome outcome =
        QueryLocked(ZoneStatement(flatSeparation, settings_.CustomZoneSelectField), readZone,
                    kUpdateFailedTagged, "", error);
    if (outcome == QueryOutcome::Rows) return 1;
    zone.clear();
    return 0;
}

int DatabaseManager::LookupZoneRetrying(std::int64_t flatSeparation, std::string& zone,
                                        std::string& error) {
    int result = 0;
    for (int attempt = 0; attempt < kZoneAttempts; ++attempt) {
        result = LookupZone(flatSeparation, zone, error);
        if (result == 1) break;
        // Paused without the lock, so that start/stop is not held up by the retries.
        std::this_thread::sleep_for(kZoneRetryPause);
    }
    return result;
}

int DatabaseManager::HasColumn(const std::string& table, const std::string& column,
                               std::string& error) {
    std::lock_guard lock(mutex_);
    if (!ConnectLocked(error)) return -1;
    bool found = false;
    // The fourth column of each row is a column name of the table.
    const auto findColumn = [&](const ResultRow& row) {
        found = row.size() >= 4 && platform::EqualsIgnoreCase(row[3], column);
        return !found;
    };
    switch (QueryLocked(ColumnsStatement(table), findColumn, kQueryFailedTagged, "", error)) {
        case QueryOutcome::Rows:
            return found ? 1 : 0;
        case QueryOutcome::NoResultSet:
            return 0;
        case QueryOutcome::Failed:
            break;
    }
    return -1;
}

int DatabaseManager::LoadLocationNames(std::string& error) {
    std::lock_guard lock(mutex_);
    locations_.clear();
    if (!ConnectLocked(error)) return -1;
    const auto addLocation = [this](const ResultRow& row) {
        Location location;
        if (!row.empty()) location.id = platform::ParseInt(row[0]);
        if (row.size() > 1) location.name = row[1];
        locations_.push_back(std::move(location));
        return true;
    };
    const std::string statement = kLocationNamesStatement;
    if (QueryLocked(statement, addLocation, kQueryFailed, " (" + statement + ")", error) ==
        QueryOutcome::Rows)
        return static_cast<int>(locations_.size());
    locations_.clear();
    return -1;
}

int DatabaseManager::LocationIdFor(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return LocationIdForLocked(name);
}

int DatabaseManager::LocationIdForLocked(const std::string& name) const {
    for (const Location& location : locations_)
        if (platform::EqualsIgnoreCase(location.name, name)) return location.id;
    return 0;
}

std::vector<Location> DatabaseManager::LocationList() const {
    std::lock_guard lock(mutex_);
    return locations_;
}

int DatabaseManager::ProcessId() const {
    std::lock_guard lock(mutex_);
    return processId_;
}

void DatabaseManager::SetProcessId(int id) {
    std::lock_guard lock(mutex_);
    processId_ = id;
}

bool DatabaseManager::LogFileNameColumn() const {
    std::lock_guard lock(mutex_);
    return logFileNameColumn_;
}

void DatabaseManager::SetLogFileNameColumn(bool present) {
    std::lock_guard lock(mutex_);
    logFileNameColumn_ = present;
}

bool DatabaseManager::Connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

}  // namespace plexivar::db
