#include "service/report/job_record.h"

#include "platform/c_locale.h"
#include "platform/local_time.h"
#include "service/report/log_file.h"
#include "service/report/operator_view.h"

namespace plexivar {

StatusList& GlobalStatusList() {
    static StatusList list;
    return list;
}

void RecordJob(const std::string& status, const std::string& file, int seconds,
               const std::string& comment, const std::string& color) {
    const platform::LocalTime now = platform::Now();
    StatusRow row;
    row.time = platform::Format("%.2d.%.2d %.2d:%.2d:%.2d", now.day, now.month, now.hour,
                                now.minute, now.second);
    row.status = status;
    row.statusColours = StatusColours(status);
    row.color = color.empty() ? std::string() : color.substr(0, 1);
    row.colorColours = ColourCellColours(color);
    row.file = file;
    row.seconds = seconds > 0 ? platform::Format("%d", seconds) : std::string(" ");
    row.comment = comment;

    const StatusListUpdate update = GlobalStatusList().Record(row);
    if (OperatorView* view = CurrentOperatorView()) view->ShowJobRow(update);

    WriteLog("INFO: %s: %s %s", file.c_str(), status.c_str(), comment.c_str());
    if (status.find("Processing") == std::string::npos) {
        WriteJobLog("%s;%s;%s;%s;%s;%s\r\n", row.time.c_str(), file.c_str(), row.color.c_str(),
                    status.c_str(), row.seconds.c_str(), comment.c_str());
    }
}

void ShowError(const std::string& text) {
    if (OperatorView* view = CurrentOperatorView()) view->ShowErrorLine(text);
    if (!text.empty()) WriteLog("ERROR: %s", text.c_str());
}

}  // namespace plexivar
