// Reporting a job to the operator: one call updates the job list, the log file and the job
// record file.
#pragma once

#include <string>

#include "service/report/status_list.h"

namespace plexivar {

// Records a job state. `seconds` <= 0 means no time. A status that does not contain
// "Processing" also writes a line "time;file;colour;status;seconds;comment\r\n" to the job
// record file.
void RecordJob(const std::string& status, const std::string& file, int seconds,
               const std::string& comment, const std::string& color);

// Sets the operator's error line (empty clears it) and logs "ERROR: <text>" when not empty.
void ShowError(const std::string& text);

// The process-wide job list that RecordJob maintains.
StatusList& GlobalStatusList();

}  // namespace plexivar
