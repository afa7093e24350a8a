// What the service shows an operator: the job list (status list), the error line, the
// status line, the progress bar with its caption, the spooler icons, the running state and
// message boxes. The main window implements it (queuing every call to its own thread), the
// headless mode prints it. The service never depends on how it is shown.
#pragma once

#include <string>

#include "service/report/status_list.h"

namespace plexivar {

// Images of a spooler icon.
enum SpoolerImage : int { kSpoolerIdle = 0, kSpoolerSearching = 1, kSpoolerDisabled = 2 };

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
    // Sets the progress bar, 0..100, with its caption (empty: the bar shows the percentage).
    virtual void ShowProgress(int percent, const std::string& caption) = 0;
    // Sets the image of spooler `index` (0-based).
    virtual void ShowSpoolerImage(int index, int image) = 0;
    // The spoolers were started (true) or stopped (false).
    virtual void ShowRunState(bool running) = 0;
    // A message box with an error icon.
    virtual void ShowMessage(const std::string& text) = 0;
};

// The view that the service reports to; null (the default) shows nothing. The caller keeps
// the view alive until it is replaced.
void SetOperatorView(OperatorView* view);
OperatorView* CurrentOperatorView();

// The service's outputs, sent to the current view (nothing happens without one).
void SetStatusText(const std::string& text);
// `percent` is clamped to 0..100.
void SetProgress(int percent, const std::string& caption);
void SetSpoolerRowImage(int index, int image);
void ShowRunState(bool running);
void ShowMessageBox(const std::string& text);

}  // namespace plexivar
