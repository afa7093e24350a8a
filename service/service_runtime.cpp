#include "service/service_runtime.h"

#include <chrono>

#include "service/database_reports.h"
#include "service/report/job_record.h"
#include "service/report/log_file.h"
#include "service/report/operator_view.h"

namespace plexivar {

ServiceRuntime::ServiceRuntime(std::string programDir, platform::Clock& clock)
    : context_{GlobalSettings(), clock, engine_, flags_, std::move(programDir), nullptr, {}, nullptr},
      control_(context_),
      autostart_(context_, control_) {
    flags_.runStateTime = clock.Now();
}

ServiceRuntime::~ServiceRuntime() { ShutDown(); }

void ServiceRuntime::Initialise(const std::string& engineFolder) {
    flags_.settingsOpen = 1;
    for (const std::string& message : engine_.Load(engineFolder)) ShowMessageBox(message);
    const std::vector<std::string> warnings = LoadSettings(
        SettingsFilePath(context_.programDir), context_.programDir, context_.settings);
    for (const std::string& line : warnings) WriteLog("%s", line.c_str());
    if (!engine_.Loaded()) WriteLog("ERROR: %s (%s)", kEngineLoadError, engine_.LoadDetail().c_str());
}

bool ServiceRuntime::StartDatabase(ProductionDatabase* database) {
    const ServiceSettings& s = context_.service();
    if (s.LogToDatabase == 0) return true;
    context_.database = database;
    std::string error;
    if (RunDatabaseStartup(database, s, error)) return true;
    ShowError("Database error - " + error);
    return false;
}

void ServiceRuntime::ShutDown() {
    flags_.exitRequested = 1;
    if (control_.Running()) control_.Stop();
    control_.WaitForThread();
    context_.clock.Sleep(std::chrono::milliseconds(250));
}

}  // namespace plexivar
