// The production database as the service sees it: the operations the service sends, each
// with its documented result, filling `error` (cleared on entry) when it fails. The ODBC
// implementation lives in db/; a service without database reporting never loads it, and
// tests give the service a recording implementation.
//
// Implementations serialise their operations: the start/stop thread and the spooler
// thread use one object at the same time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plexivar {

class ProductionDatabase {
public:
    virtual ~ProductionDatabase() = default;

    // Stores the credentials and connects; true when a connection is open.
    virtual bool ConnectWith(const std::string& dsn, const std::string& user,
                             const std::string& password, bool keepConnection,
                             std::string& error) = 0;
    // Registers this process; its id, -1 on failure or no row, 0 when no result set opened.
    virtual int RegisterProcess(std::string& error) = 0;
    // 1 sent, 0 failed.
    virtual int UpdateProcess(int processId, int stateA, int stateB, const std::string& text1,
                              const std::string& text2, std::string& error) = 0;
    // 1 sent, 0 failed, -1 no connection.
    virtual int UpdateFlatPageTable(std::int64_t flatSeparation, int statusCode,
                                    const std::string& message, std::string& error) = 0;
    // 1 sent or skipped, 0 failed.
    virtual int SetExternalStatus(std::int64_t flatSeparation, int externalStatus,
                                  std::string& error) = 0;
    // 1 sent or skipped, 0 failed.
    virtual int SetPageError(std::int64_t flatSeparation, int status, const std::string& lastError,
                             std::string& error) = 0;
    // 1 sent or skipped, 0 failed.
    virtual int AddLogEntry(std::int64_t flatSeparation, int eventCode, const std::string& message,
                            const std::string& fileName, std::string& error) = 0;
    // Up to four look-ups, 500 ms after each failure; 1 when a query ran (zone empty when
    // no row), 0 failed.
    virtual int LookupZoneRetrying(std::int64_t flatSeparation, std::string& zone,
                                   std::string& error) = 0;
    // 1 found, 0 not found, -1 failed.
    virtual int HasColumn(const std::string& table, const std::string& column,
                          std::string& error) = 0;
    // Number of location rows read, -1 on failure.
    virtual int LoadLocationNames(std::string& error) = 0;

    // Values set by the start-up sequence.
    virtual int ProcessId() const = 0;
    virtual void SetProcessId(int id) = 0;
    virtual void SetLogFileNameColumn(bool present) = 0;
    // Whether a connection is open now (for status displays).
    virtual bool Connected() const = 0;
};

}  // namespace plexivar
