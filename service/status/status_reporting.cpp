#include "service/status/status_reporting.h"

#include "platform/c_locale.h"
#include "service/report/job_record.h"
#include "service/report/log_file.h"

namespace plexivar {

std::string StatusUrl(const std::string& address, int port) {
    const bool v6 = address.find(':') != std::string::npos;
    return platform::Format(v6 ? "http://[%s]:%d/" : "http://%s:%d/", address.c_str(), port);
}

StatusReporting::StatusReporting(ServiceRuntime& runtime, OperatorView& view)
    : runtime_(runtime),
      view_(view),
      recorder_(&view, runtime.settings(), runtime.context().clock),
      endpoint_([this] { return recorder_.Current(); },
                [&runtime] {
                    ServiceHealth health;
                    const ProductionDatabase* database = runtime.context().database;
                    health.databaseInUse = database != nullptr;
                    health.databaseConnected = database != nullptr && database->Connected();
                    health.engineBound = runtime.engine().CanResample();
                    return health;
                }) {
    SetOperatorView(&recorder_);
    runtime_.SetEvents(&recorder_);
}

StatusReporting::~StatusReporting() {
    endpoint_.Stop();
    runtime_.SetEvents(nullptr);
    SetOperatorView(&view_);
}

bool StatusReporting::Start() {
    const StatusEndpointSettings& config = runtime_.settings().service.Status;
    if (config.Port == 0)
        return false;
    std::string error;
    if (config.Port < 0 || config.Port > 65535) {
        error = platform::Format("Port %d is not a TCP port", config.Port);
    } else if (endpoint_.Start(config.Address, config.Port, error)) {
        const std::string where = StatusUrl(config.Address, endpoint_.port());
        WriteLog("INFO: Status page on %s, metrics on %smetrics", where.c_str(), where.c_str());
        SetStatusText("Status page on " + where);
        return true;
    }
    ShowError("Status endpoint off: " + error);
    return false;
}

}  // namespace plexivar
