#include "service/database_reports.h"

#include "service/report/log_file.h"

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

// The reports of a job: the database closes its connection on an error and the next
// statement connects again, so a failed report never holds up the job. What was not sent
// is logged, once per report, with the first error.
class JobReport {
public:
    JobReport(ProductionDatabase& db, const char* what, const std::string& fileName)
        : db_(db), what_(what), fileName_(fileName) {}
    ~JobReport() {
        if (!firstError_.empty())
            WriteLog("WARNING: Database: %s of %s not sent - %s", what_, fileName_.c_str(),
                     firstError_.c_str());
    }
    JobReport(const JobReport&) = delete;
    JobReport& operator=(const JobReport&) = delete;

    void ProcessRunning() {
        std::string error;
        db_.UpdateProcess(db_.ProcessId(), 1, 1, fileName_, "", error);
        Keep(error);
    }
    void ExternalStatus(std::int64_t flatSeparation, int status) {
        std::string error;
        db_.SetExternalStatus(flatSeparation, status, error);
        Keep(error);
    }
    void PageStatus(std::int64_t flatSeparation, int code, const std::string& message) {
        std::string error;
        db_.UpdateFlatPageTable(flatSeparation, code, message, error);
        Keep(error);
    }
    void PageError(std::int64_t flatSeparation, const std::string& message) {
        std::string error;
        db_.SetPageError(flatSeparation, kPageErrorStatus, message, error);
        Keep(error);
    }
    void LogEntry(std::int64_t flatSeparation, int eventCode, const std::string& message) {
        std::string error;
        db_.AddLogEntry(flatSeparation, eventCode, message, fileName_, error);
        Keep(error);
    }

private:
    void Keep(const std::string& error) {
        if (firstError_.empty()) firstError_ = error;
    }

    ProductionDatabase& db_;
    const char* what_;
    const std::string& fileName_;
    std::string firstError_;
};

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
    JobReport report(*db, "start report", fileName);
    report.ProcessRunning();
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusRunning > 0 &&
        UsableNumber(flatSeparation))
        report.ExternalStatus(flatSeparation, settings.ExternalStatusRunning);
    if (settings.UpdateFlatPagetable != 0 && settings.StatusCodeRunning > 0 &&
        UsableNumber(flatSeparation))
        report.PageStatus(flatSeparation, settings.StatusCodeRunning, "");
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
    JobReport report(*db, "end report", fileName);
    if (settings.UpdateLog != 0 && settings.EventCodeOK > 0)
        report.LogEntry(flatSeparation, settings.EventCodeOK, "");
    // A delivered plate with a failed finishing step is reported with the warning status.
    const int pageStatus = warning.empty() ? settings.StatusCodeOK : settings.StatusCodeWarning;
    if (settings.UpdateFlatPagetable != 0 && pageStatus > 0 && UsableNumber(flatSeparation))
        report.PageStatus(flatSeparation, pageStatus, warning);
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusOK > 0 &&
        UsableNumber(flatSeparation))
        report.ExternalStatus(flatSeparation, settings.ExternalStatusOK);
}

void ReportJobFailed(ProductionDatabase* db, const ServiceSettings& settings,
                     const std::string& fileName, std::int64_t flatSeparation,
                     const std::string& message) {
    if (!Reporting(db, settings)) return;
    JobReport report(*db, "error report", fileName);
    if (settings.UpdateLog != 0 && settings.EventCodeFail > 0)
        report.LogEntry(flatSeparation, settings.EventCodeFail, message);
    if (settings.UpdateImagingErorStatus != 0)
        report.PageError(flatSeparation, message);
    if (settings.UpdateFlatPagetable != 0 && settings.StatusCodeError > 0 &&
        UsableNumber(flatSeparation))
        report.PageStatus(flatSeparation, settings.StatusCodeError, message);
    if (settings.UpdateExternalStatus != 0 && settings.ExternalStatusFail > 0 &&
        UsableNumber(flatSeparation))
        report.ExternalStatus(flatSeparation, settings.ExternalStatusFail);
}

}  // namespace plexivar
