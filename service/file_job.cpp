#include "service/file_job.h"

#include <algorithm>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "service/database_reports.h"
#include "service/file_transfer.h"
#include "service/info_file.h"
#include "service/name_fields.h"
#include "service/report/job_record.h"
#include "service/report/log_file.h"
#include "service/report/operator_view.h"
#include "service/separation.h"

namespace plexivar {
namespace {

// The context of the job the engine is working on, for its progress function (which the
// engine calls on the spooler thread, without a context of its own).
thread_local const ServiceContext* t_engineContext = nullptr;

int JobProgress(int percent) {
    const int clamped = std::clamp(percent, 0, 100);
    SetProgress(clamped, "");
    if (t_engineContext && t_engineContext->heartbeat) t_engineContext->heartbeat();
    return clamped;
}

// The spooler's scaling pair for the first letter of a colour; any letter but C, M and Y
// takes black's.
void ScalingForColour(const SpoolerSettings& spooler, const std::string& colour, double& x,
                      double& y) {
    switch (colour.empty() ? 'K' : colour.front()) {
        case 'C': x = spooler.ScalingXC, y = spooler.ScalingYC; break;
        case 'M': x = spooler.ScalingXM, y = spooler.ScalingYM; break;
        case 'Y': x = spooler.ScalingXY, y = spooler.ScalingYY; break;
        default: x = spooler.ScalingXK, y = spooler.ScalingYK; break;
    }
}

void ApplyScalingAndMargins(FileJob& job) {
    const SpoolerSettings& spooler = *job.spooler;
    job.scaleX = job.scaleY = 100.0;
    job.topMargin = job.bottomMargin = job.leftMargin = job.rightMargin = 0.0;
    if (spooler.EnableScaling == 0) return;
    if (job.separation.correctionX == 0.0 || job.separation.correctionY == 0.0) {
        ScalingForColour(spooler, job.separation.colour, job.scaleX, job.scaleY);
    } else {
        // A correction from the information file or the image description wins.
        job.scaleX = job.separation.correctionX;
        job.scaleY = job.separation.correctionY;
    }
    if (spooler.KeepMargins != 0) {
        job.topMargin = spooler.TopMargin;
        job.bottomMargin = spooler.BottomMargin;
        job.leftMargin = spooler.LeftMargin;
        job.rightMargin = spooler.RightMargin;
    }
}

// The placement references of the spooler, changed by the plate's zone: a zone in the
// left list anchors the scaled axis at its start, one in the right list at its end (the
// right list is tested last and wins).
void ApplyZoneReferences(FileJob& job) {
    const SpoolerSettings& spooler = *job.spooler;
    job.xReference = spooler.Xreference;
    job.yReference = spooler.Yreference;
    const std::string& zone = job.separation.zone;
    if (zone.empty()) return;
    int* reference = job.scaleX != 100.0   ? &job.xReference
                     : job.scaleY != 100.0 ? &job.yReference
                                           : nullptr;
    if (reference == nullptr) return;
    if (ZoneInList(zone, spooler.LeftZonename)) *reference = 0;
    if (ZoneInList(zone, spooler.RightZonename)) *reference = 2;
}

std::string PlacementText(const FileJob& job) {
    if (job.xReference == 0) return " - left ref";
    if (job.xReference == 2) return " - right ref";
    if (job.yReference == 0) return " - top ref";
    if (job.yReference == 2) return " - bottom ref";
    return " - centered";
}

// The comment of a job that succeeded, with its warning when there is one.
std::string WithWarning(const std::string& comment, const std::string& warning) {
    return warning.empty() ? comment : comment + "  (warning: " + warning + ")";
}

JobOutcome PassThrough(ServiceContext& context, FileJob& job) {
    const ServiceSettings& s = context.service();
    const std::string& colour = job.separation.colour;
    std::string message;
    if (DeliverPassThrough(context, job, message)) {
        RecordJob("Done", job.fileName, 0, WithWarning("No action required", message), colour);
        ReportJobSucceeded(context.database, s, job.fileName, job.flatSeparation, message);
        ShowError("");
        return JobOutcome::Done;
    }
    RecordJob("Error", job.fileName, 0, message, colour);
    ReportJobFailed(context.database, s, job.fileName, job.flatSeparation, message);
    return JobOutcome::DeliveryFailed;
}

JobOutcome EngineJob(ServiceContext& context, FileJob& job) {
    const ServiceSettings& s = context.service();
    const SpoolerSettings& spooler = *job.spooler;
    const std::string& colour = job.separation.colour;
    const std::int64_t start = context.clock.MonotonicMs();

    if (spooler.ZoneDetection == 1 && s.LogToDatabase != 0 && job.flatSeparation > 1) {
        const std::string zone = LookupJobZone(context.database, s, job.flatSeparation);
        if (!zone.empty()) {
            job.separation.zone = zone;
            WriteLog("INFO: Looked up DB zoneinfo %s for FlatSeparation %lld", zone.c_str(),
                     static_cast<long long>(job.flatSeparation));
        }
    }
    ApplyZoneReferences(job);
    const std::string placement = PlacementText(job);
    const bool keepResolution = spooler.KeepResolution != 0;
    const std::string actionText =
        keepResolution ? platform::Format("Scaling image %.3f%% x %.3f%% %s", job.scaleX,
                                          job.scaleY, placement.c_str())
                       : platform::Format("Changing resolution to %.3f x %.3f",
                                          spooler.ResolutionX, spooler.ResolutionY);
    RecordJob("Processing", job.fileName, 0, actionText, colour);

    ResampleRequest request;
    request.input = job.inputPath;
    request.output = job.outputPath;
    request.keepSize = spooler.KeepSize != 0;
    request.keepResolution = keepResolution;
    request.resolutionX = spooler.ResolutionX;
    request.resolutionY = spooler.ResolutionY;
    request.scaleX = job.scaleX;
    request.scaleY = job.scaleY;
    request.topMargin = job.topMargin;
    request.bottomMargin = job.bottomMargin;
    request.leftMargin = job.leftMargin;
    request.rightMargin = job.rightMargin;
    request.backgroundPath = context.Resolve(spooler.MergeFileName);
    request.mergeBackground = spooler.MergeFile != 0 && platform::FileExists(request.backgroundPath);

    // An engine that was missing or incomplete may have been installed since.
    if (!context.engine.CanResample() && context.engine.Reload().empty())
        WriteLog("INFO: %s loaded", kEngineLibraryName);
    context.engine.SetParams(s.Linebuffers < 1 ? 1024 : s.Linebuffers, job.xReference,
                             job.yReference);
    t_engineContext = &context;
    const EngineResult result = context.engine.Resample(request, &JobProgress);
    t_engineContext = nullptr;
    const int seconds = static_cast<int>((context.clock.MonotonicMs() - start) / 1000);

    const std::string resultText =
        keepResolution ? platform::Format("Image scaled %.3f%% x %.3f%% %s", job.scaleX,
                                          job.scaleY, placement.c_str())
                       : platform::Format("Resolution changed to %.3f x %.3f",
                                          spooler.ResolutionX, spooler.ResolutionY);
    if (result.ok) {
        std::string warning = DisposeAfterEngine(context, job, true);
        if (!result.errorText.empty()) {
            // Delivered, but a finishing step failed: not a clean success.
            WriteLog("WARNING: %s: %s", job.fileName.c_str(), result.errorText.c_str());
            warning = warning.empty() ? result.errorText : result.errorText + "; " + warning;
        }
        RecordJob("Done", job.fileName, seconds, WithWarning(resultText, warning), colour);
        ReportJobSucceeded(context.database, s, job.fileName, job.flatSeparation, warning);
        ShowError("");
        return JobOutcome::Done;
    }
    DisposeAfterEngine(context, job, false);
    RecordJob("Error", job.fileName, seconds, result.errorText + "  (" + resultText + ")", colour);
    ReportJobFailed(context.database, s, job.fileName, job.flatSeparation, result.errorText);
    ShowError(result.errorText);
    return JobOutcome::Failed;
}

}  // namespace

FileJob MakeFileJob(const ServiceContext& context, int spoolerIndex, const std::string& folder,
                    const std::string& folderLetter, const std::string& fileName) {
    FileJob job;
    job.spoolerIndex = spoolerIndex;
    job.spooler = &context.settings.spoolers.at(static_cast<std::size_t>(spoolerIndex));
    job.folder = folder;
    job.folderLetter = folderLetter;
    job.fileName = fileName;
    job.inputPath = platform::JoinPath(folder, fileName);
    job.outputPath = platform::JoinPath(context.Resolve(job.spooler->OutputFolder), fileName);
    job.informationInputPath = InformationFilePath(job.inputPath);
    job.informationOutputPath = InformationFilePath(job.outputPath);
    const std::string archive = context.Resolve(job.spooler->ArchiveFolder);
    if (!archive.empty()) {
        job.archivePath = platform::JoinPath(archive, fileName);
        job.informationArchivePath = InformationFilePath(job.archivePath);
    }
    return job;
}

JobOutcome RunFileJob(ServiceContext& context, FileJob& job) {
    const ServiceSettings& s = context.service();
    DetectionOptions options;
    options.separators = s.Separators;
    job.separation = DetectSeparation(*job.spooler, job.folderLetter, job.fileName,
                                      job.inputPath, job.informationInputPath, options);
    SetStatusText("Resampling " + job.fileName + "..");
    ApplyScalingAndMargins(job);
    job.flatSeparation = FlatSeparationFromName(job.fileName);
    ReportJobStarted(context.database, s, job.fileName, job.flatSeparation);

    const bool nothingToDo =
        job.scaleX == 100.0 && job.scaleY == 100.0 && job.spooler->KeepResolution != 0;
    const std::int64_t start = context.clock.MonotonicMs();
    const JobOutcome outcome = nothingToDo ? PassThrough(context, job) : EngineJob(context, job);
    if (context.events)
        context.events->JobFinished(job.spoolerIndex, job.fileName,
                                    outcome == JobOutcome::Done ? "Done" : "Error", nothingToDo,
                                    static_cast<double>(context.clock.MonotonicMs() - start) / 1000.0);
    SetStatusText("");
    return outcome;
}

}  // namespace plexivar
