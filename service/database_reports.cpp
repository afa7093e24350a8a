#include "service/database_reports.h"

namespace plexivar {
namespace {

// The Status a failed job leaves in the page table.
constexpr int kPageErrorStatus = 46;

// Whether reports go to the database at all.
bool Reporting(const ProductionDatabase* db, const ServiceSettings& settings) {
    return db != nullptr && settings.LogToDatabase != 0;
}

// Page-table statements need the plate's number; 0 and 1 name no plate.
bool UsableNumber(std::int64_t flatSeparation) { return flatSeparation > 1; }

// A report whose outcome nobody shows: the database has already closed its connection on
// an error, and the next report reconnects.
void ExternalStatus(ProductionDatabase& db, std::int64_t flatSeparation, int status) {
    std::string ignored;
    db.SetExternalStatus(flatSeparation, status, ignored);
}

void PageStatus(ProductionDatabase& db, std::int64_t flatSeparation, int code,
                const std::string& message) {
    std::string ignored;
    db.UpdateFlatPageTable(flatSeparation, code, message, ignored);
}

void LogEntry(ProductionDatabase& db, std::int64_t flatSeparation, int eventCode,
              const std::string& message, const std::string& fileName) {
    std::string ignored;
    db.AddLogEntry(flatSeparation, eventCode, message, fileName, ignored);
}

}  // namespace

bool RunDatabaseStartup(ProductionDatabase* db, const ServiceSettings& settings,
                        std::string& error) {
    error.clear();
    if (!Reporting(db, settings)) return true;
    if (!db->ConnectWith(settings.DSN, settings.DSNuser, settings.DSNpw,
                         settings.KeepConnection != 0, error))
        return false;
    // Without the list the location id falls back to 1; that is no reason to stop.
    std::string ignored;
    db->LoadLocationNames(ignored);
    const int processId = db->RegisterProcess(error);
    db->SetProcessId(processId);
    if (processId < 0) return false;
    error.clear();
    db->SetLogFileNameColumn(db->HasColumn("Log", "FileName", ignored) > 0);
    return true;
}

void ReportProcessState(ProductionDatabase* db, const ServiceSettings& settings, bool running) {
    if (!Reporting(db, settings)) return;
    const int state = running ? 1 : 0;
    std::string ignored;
    db->UpdateProcess(db->ProcessId(), state, state, "", "", ignored);
}

bool ReconnectDatabase(ProductionDatabase* db, const ServiceSettings& settings,
                       std::string& error) {
    error.clear();
    if (!Reporting(db, settings)) return true;
    return db->ConnectWith(settings.DSN, settings.DSNuser, settings.DSNpw,
                           settings.KeepConnection != 0, error);
}

void ReportJobStarted(ProductionDatabase* db, const ServiceSettings& settings,
                      const std::string& fileName, std::int64_t flatSeparation) {
    if (!Reporting(db, settings)) return;
    std::string ignored;
    db->UpdateProcess(db->ProcessId(), 1, 1, fileName, "", ignored);
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusRunning > 0 &&
        UsableNumber(flatSeparation))
        ExternalStatus(*db, flatSeparation, settings.ExternalStatusRunning);
    if (settings.UpdateFlatPagetable != 0 && settings.StatusCodeRunning > 0 &&
        UsableNumber(flatSeparation))
        PageStatus(*db, flatSeparation, settings.StatusCodeRunning, "");
}

std::string LookupJobZone(ProductionDatabase* db, const ServiceSettings& settings,
                          std::int64_t flatSeparation) {
    std::string zone;
    if (!Reporting(db, settings) || !UsableNumber(flatSeparation)) return zone;
    std::string ignored;
    if (db->LookupZoneRetrying(flatSeparation, zone, ignored) != 1) zone.clear();
    return zone;
}

void ReportJobSucceeded(ProductionDatabase* db, const ServiceSettings& settings,
                        const std::string& fileName, std::int64_t flatSeparation,
                        const std::string& warning) {
    if (!Reporting(db, settings)) return;
    if (settings.UpdateLog != 0 && settings.EventCodeOK > 0)
        LogEntry(*db, flatSeparation, settings.EventCodeOK, "", fileName);
    // A delivered plate with a failed finishing step is reported with the warning status.
    const int pageStatus = warning.empty() ? settings.StatusCodeOK : settings.StatusCodeWarning;
    if (settings.UpdateFlatPagetable != 0 && pageStatus > 0 && UsableNumber(flatSeparation))
        PageStatus(*db, flatSeparation, pageStatus, warning);
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusOK > 0 &&
        UsableNumber(flatSeparation))
        ExternalStatus(*db, flatSeparation, settings.ExternalStatusOK);
}

void ReportJobFailed(ProductionDatabase* db, const ServiceSettings& settings,
                     const std::string& fileName, std::int64_t flatSeparation,
                     const std::string& message) {
    if (!Reporting(db, settings)) return;
    if (settings.UpdateLog != 0 && settings.EventCodeFail > 0)
        LogEntry(*db, flatSeparation, settings.EventCodeFail, message, fileName);
    if (settings.UpdateImagingErorStatus != 0) {
        std::string ignored;
        db->SetPageError(flatSeparation, kPageErrorStatus, message, ignored);
    }
    if (settings.UpdateFlatPagetable != 0 && settings.StatusCodeError > 0 &&
        UsableNumber(flatSeparation))
        PageStatus(*db, flatSeparation, settings.StatusCodeError, message);
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusFail > 0 &&
        UsableNumber(flatSeparation))
        ExternalStatus(*db, flatSeparation, settings.ExternalStatusFail);
}

}  // namespace plexivar
