// The service's configuration: the global keys of section "Setup" (ServiceSettings), one
// record per spooler with keys that carry the spooler number (SpoolerSettings), and the
// saved main-window rectangle of section "Window". Loaded once at start-up from
// "plexivar.ini" in the program directory; written back when the operator confirms a
// settings dialog.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace plexivar {

inline constexpr int MaxSpoolers = 12;

struct SpoolerSettings {
    int Enable = 1;
    std::string InputFolder;   // default "<programdir>/input<n>"
    std::string OutputFolder;  // default "<programdir>/output<n>"
    int MakeArchive = 0;
    std::string ArchiveFolder;
    std::string InputName = "%?-%C.tif";
    int ColorDetection = 0;  // 0..4, see separation detection
    int KeepSize = 0;
    int KeepResolution = 0;
    int EnableScaling = 0;
    double ResolutionX = 1270.0;  // dots per inch
    double ResolutionY = 1270.0;
    double ScalingXC = 100.0;  // percent, per separation colour
    double ScalingYC = 100.0;
    double ScalingXM = 100.0;
    double ScalingYM = 100.0;
    double ScalingXY = 100.0;
    double ScalingYY = 100.0;
    double ScalingXK = 100.0;
    double ScalingYK = 100.0;
    int KeepMargins = 0;
    double LeftMargin = 0.0;  // millimetres
    double RightMargin = 0.0;
    double TopMargin = 0.0;
    double BottomMargin = 0.0;
    int MergeFile = 0;
    std::string MergeFileName;
    int UseRegex = 0;
    std::string MatchExpression;
    std::string FormatExpression;
    int Xreference = 0;  // 0 left, 1 centre, 2 right
    int Yreference = 0;  // 0 top, 1 centre, 2 bottom
    std::string LeftZonename;   // comma-separated zone names
    std::string RightZonename;  // comma-separated zone names
    int ZoneDetection = 0;      // 1: look the zone up in the database
    // Edited and saved with the record; the output file always carries the input's name.
    std::string OutputName = "%?-%C.tif";
};

struct WindowPlacement {
    int Left = -1;  // -1: no saved rectangle
    int Top = -1;
    int Right = -1;
    int Bottom = -1;
};

// Section "Status": the read-only status endpoint (status page, metrics, JSON).
struct StatusEndpointSettings {
    int Port = 0;                       // TCP port; 0 turns the endpoint off
    std::string Address = "127.0.0.1";  // numeric IPv4 or IPv6 address to listen on
};

struct ServiceSettings {
    int NumberOfSpoolers = 1;
    int PollTime = 2;       // seconds
    int StableTime = 1000;  // milliseconds; <= 0 turns the stability check off
    std::string SearchMask = "*.*";
    int MaxFilesInOutputFolder = 0;  // <= 0: no limit
    int CreateFolders = 0;
    int UseTempPath = 1;   // 0 direct, 1 via "tmp" sub-folder, other: via TempPath
    std::string TempPath;  // default "<programdir>/temp"
    std::string Separators = "-_.";
    int FireCommandOnFolderReconnectInput = 0;
    std::string FolderReconnectCommandInput;
    int FireCommandOnFolderReconnectOutput = 0;
    std::string FolderReconnectCommandOutput;
    int BypassPingTest = 0;
    int AutoStart = 0;
    int AutoStartMinutes = 0;
    int StartMinimized = 0;
    int MinimizeToTray = 0;
    int AllowMultipleInstances = 0;  // read, never written
    int Debug = 0;
    std::string LogFile;  // default "<programdir>/temp/Plexivar.log"
    int Debug2 = 0;
    std::string LogFile2;  // default "<programdir>/temp/PlexivarJobs.csv"
    int Linebuffers = 1024;
    int RowsPerStrip = 0;
    int ExtraTags = 0;
    int RandomReverse = 0;
    int CacheAllLimitMB = 500;
    int LogToDatabase = 0;
    std::string DSN = "OV";
    std::string DSNuser = "sa";
    std::string DSNpw = "vorpa";
    int KeepConnection = 1;
    std::string LocationName;
    std::string ProcessText = "Fanout";
    int RegisterAsBackup = 0;
    std::string CustomZoneSelectField = "PressZone+PressCylinder";  // read, never written
    int UpdateLog = 0;
    int EventCodeOK = 150;
    int EventCodeFail = 156;
    int UpdateFlatPagetable = 0;
    int StatusCodeRunning = 159;
    int StatusCodeOK = 150;
    int StatusCodeError = 156;
    int StatusCodeWarning = 157;
    int UpdateExternalStatus = 0;
    int ExternalStatusRunning = 5;
    int ExternalStatusOK = 6;
    int ExternalStatusFail = 7;
    int UpdateImagingErorStatus = 1;
    WindowPlacement Window;
    StatusEndpointSettings Status;
};

// The whole configuration as held in memory.
struct Settings {
    ServiceSettings service;
    std::array<SpoolerSettings, MaxSpoolers> spoolers;

    // The record of spooler n, counted from 1 (1..MaxSpoolers).
    SpoolerSettings& Spooler(int n) { return spoolers.at(static_cast<std::size_t>(n - 1)); }
    const SpoolerSettings& Spooler(int n) const {
        return spoolers.at(static_cast<std::size_t>(n - 1));
    }
};

// Path of the ini file in `programDir`: "<programDir>/plexivar.ini".
std::string SettingsFilePath(const std::string& programDir);

// Reads every key of `iniPath` into `settings`, with the defaults for missing keys; path
// defaults are placed below `programDir`. Values are kept as written in the file; a
// relative folder is resolved against the program directory where it is used
// (platform::ResolvePath). A NumberOfSpoolers above MaxSpoolers is clamped and logged as
// a WARNING: the returned lines ("WARNING: ...") are for the caller to log, since the log
// itself depends on the settings being loaded.
std::vector<std::string> LoadSettings(const std::string& iniPath, const std::string& programDir,
                                      Settings& settings);

// Writes every key that has a written-back form. Keys of spoolers beyond NumberOfSpoolers
// stay in the file untouched; comments, unknown keys and other sections are kept.
// Returns false when the file could not be written (nothing is reported to the operator).
bool SaveSettings(const std::string& iniPath, const Settings& settings);

// Every key with its value in its written-back form, as ini text: section [Setup] with the
// global keys and the numbered keys of spoolers 1..NumberOfSpoolers, then sections [Window]
// and [Status]. Keys that SaveSettings does not write are included. The database password
// is shown as "********" when one is set (the file keeps it). Lines end in "\n".
std::string SettingsAsIniText(const Settings& settings);

// The process-wide configuration, filled at start-up.
Settings& GlobalSettings();

}  // namespace plexivar
