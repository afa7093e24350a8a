// The remote status of a running service, as the program wires it: a StatusRecorder
// between the service and the operator view it already has (console or window), observing
// the runtime's events, and the StatusEndpoint serving it when [Status] Port is set.
//
// Create it after the runtime is initialised and its database started (the endpoint reads
// the database link the runtime holds), before the spoolers start; destroy it after the
// spoolers have stopped (ServiceRuntime::ShutDown) and before the runtime. Headless mode and
// the window use it alike.
#pragma once

#include <memory>
#include <string>

#include "service/report/operator_view.h"
#include "service/service_runtime.h"
#include "service/status/status_endpoint.h"
#include "service/status/status_recorder.h"

namespace plexivar {

class StatusReporting {
  public:
    // Makes the recorder the operator view (passing everything on to `view`) and the
    // runtime's event observer.
    StatusReporting(ServiceRuntime& runtime, OperatorView& view);
    // Stops the endpoint, gives the operator view back to `view` and removes the observer.
    ~StatusReporting();
    StatusReporting(const StatusReporting&) = delete;
    StatusReporting& operator=(const StatusReporting&) = delete;

    // Starts the endpoint when [Status] Port is set (not 0). When it cannot listen, the
    // service runs on without it: the reason goes to the error line and the log. When it
    // listens, the log and the status line say where. Returns whether it listens.
    bool Start();

    StatusRecorder& recorder() { return recorder_; }
    // The port listened on; 0 when the endpoint is off.
    int port() const { return endpoint_.port(); }

  private:
    ServiceRuntime& runtime_;
    OperatorView& view_;
    StatusRecorder recorder_;
    StatusEndpoint endpoint_;
};

// "http://127.0.0.1:8080/", "http://[::1]:8080/".
std::string StatusUrl(const std::string& address, int port);

}  // namespace plexivar
