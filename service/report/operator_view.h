// What the service shows an operator: the job list (status list), the error line, the
// status line and the progress indicator. The main window implements it (queuing every
// call to its own thread), the headless mode prints it. The service never depends on how
// it is shown.
#pragma once

#include <string>

#include "service/report/status_list.h"

namespace plexivar {

class OperatorView {
public:
    virtual ~OperatorView() = default;

    // A row of the job list changed: `update` says which rows were dropped from the top,
    // which row was replaced or appended, and its new cells.
    virtual void ShowJobRow(const StatusListUpdate& update) = 0;
    // Sets the error line; an empty text clears it.
    virtual void ShowErrorLine(const std::string& text) = 0;
    // Sets the status line text ("Scanning..", "Reconnecting..").
    virtual void ShowStatusText(const std::string& text) = 0;
    // Sets the progress indicator, 0..100 (0 also clears it).
    virtual void ShowProgress(int percent) = 0;
};

// The view that RecordJob and ShowError report to; null (the default) shows nothing.
// The caller keeps the view alive until it is replaced.
void SetOperatorView(OperatorView* view);
OperatorView* CurrentOperatorView();

}  // namespace plexivar
