// The per-file job: what the spooler thread does with one complete, stable input file.
// It works out the separation, decides between passing the file through and having the
// engine resample it, delivers, disposes of the input and reports the job.
#pragma once

#include <cstdint>
#include <string>

#include "service/config/settings.h"
#include "service/separation_info.h"
#include "service/service_context.h"

namespace plexivar {

struct FileJob {
    int spoolerIndex = 0;  // 0-based
    const SpoolerSettings* spooler = nullptr;
    std::string folder;        // the scanned folder (input folder or a colour sub-folder)
    std::string folderLetter;  // "C", "M", "Y", "K" in sub-folder mode, else ""
    std::string fileName;
    std::string inputPath;
    std::string outputPath;
    std::string archivePath;  // "" without an archive
    std::string informationInputPath;
    std::string informationOutputPath;
    std::string informationArchivePath;

    SeparationInfo separation;
    double scaleX = 100.0;  // percent
    double scaleY = 100.0;
    double topMargin = 0.0;  // millimetres
    double bottomMargin = 0.0;
    double leftMargin = 0.0;
    double rightMargin = 0.0;
    int xReference = 0;  // 0 left/top, 1 centre, 2 right/bottom
    int yReference = 0;
    std::int64_t flatSeparation = 0;
};

// Fills the paths of a job for `fileName` found in `folder` of spooler `spoolerIndex`.
FileJob MakeFileJob(const ServiceContext& context, int spoolerIndex, const std::string& folder,
                    const std::string& folderLetter, const std::string& fileName);

enum class JobOutcome {
    Done,
    Failed,          // the engine failed; the loop goes on
    DeliveryFailed,  // a pass-through delivery failed; the loop pauses to reconnect
};

JobOutcome RunFileJob(ServiceContext& context, FileJob& job);

}  // namespace plexivar
