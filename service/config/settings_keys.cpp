#include "service/config/settings_keys.h"

#include "platform/c_locale.h"

namespace plexivar {

namespace {
using S = ServiceSettings;
using P = SpoolerSettings;
using W = WindowPlacement;
using E = StatusEndpointSettings;
}  // namespace

const std::vector<KeyDef<ServiceSettings>>& ServiceKeys() {
    static const std::vector<KeyDef<S>> keys = {
        {"NumberOfSpoolers", &S::NumberOfSpoolers, WriteForm::Decimal},
        {"PollTime", &S::PollTime, WriteForm::Decimal},
        {"StableTime", &S::StableTime, WriteForm::Decimal},
        {"SearchMask", &S::SearchMask, WriteForm::Text},
        {"MaxFilesInOutputFolder", &S::MaxFilesInOutputFolder, WriteForm::Decimal},
        {"CreateFolders", &S::CreateFolders, WriteForm::Flag},
        {"UseTempPath", &S::UseTempPath, WriteForm::Decimal},
        {"TempPath", &S::TempPath, WriteForm::Text},
        {"Separators", &S::Separators, WriteForm::Text},
        {"FireCommandOnFolderReconnectInput", &S::FireCommandOnFolderReconnectInput,
         WriteForm::Flag},
        {"FolderReconnectCommandInput", &S::FolderReconnectCommandInput, WriteForm::Text},
        {"FireCommandOnFolderReconnectOutput", &S::FireCommandOnFolderReconnectOutput,
         WriteForm::Flag},
        {"FolderReconnectCommandOutput", &S::FolderReconnectCommandOutput, WriteForm::Text},
        {"BypassPingTest", &S::BypassPingTest, WriteForm::Flag},
        {"AutoStart", &S::AutoStart, WriteForm::Flag},
        {"AutoStartMinutes", &S::AutoStartMinutes, WriteForm::Decimal},
        {"StartMinimized", &S::StartMinimized, WriteForm::Flag},
        {"MinimizeToTray", &S::MinimizeToTray, WriteForm::Flag},
        {"AllowMultipleInstances", &S::AllowMultipleInstances, WriteForm::NotWritten},
        {"Debug", &S::Debug, WriteForm::Decimal},
        {"LogFile", &S::LogFile, WriteForm::Text},
        {"Debug2", &S::Debug2, WriteForm::Decimal},
        {"LogFile2", &S::LogFile2, WriteForm::Text},
        {"Linebuffers", &S::Linebuffers, WriteForm::Decimal},
        {"RowsPerStrip", &S::RowsPerStrip, WriteForm::Decimal},
        {"ExtraTags", &S::ExtraTags, WriteForm::Flag},
        {"RandomReverse", &S::RandomReverse, WriteForm::Flag},
        {"CacheAllLimitMB", &S::CacheAllLimitMB, WriteForm::Decimal},
        {"LogToDatabase", &S::LogToDatabase, WriteForm::Flag},
        {"DSN", &S::DSN, WriteForm::Text},
        {"DSNuser", &S::DSNuser, WriteForm::Text},
        {"DSNpw", &S::DSNpw, WriteForm::Text, true},
        {"KeepConnection", &S::KeepConnection, WriteForm::Flag},
        {"LocationName", &S::LocationName, WriteForm::Text},
        {"ProcessText", &S::ProcessText, WriteForm::Text},
        {"RegisterAsBackup", &S::RegisterAsBackup, WriteForm::Flag},
        {"CustomZoneSelectField", &S::CustomZoneSelectField, WriteForm::NotWritten},
        {"UpdateLog", &S::UpdateLog, WriteForm::Flag},
        {"EventCodeOK", &S::EventCodeOK, WriteForm::Decimal},
        {"EventCodeFail", &S::EventCodeFail, WriteForm::Decimal},
        {"UpdateFlatPagetable", &S::UpdateFlatPagetable, WriteForm::Flag},
        {"StatusCodeRunning", &S::StatusCodeRunning, WriteForm::Decimal},
        {"StatusCodeOK", &S::StatusCodeOK, WriteForm::Decimal},
        {"StatusCodeError", &S::StatusCodeError, WriteForm::Decimal},
        {"StatusCodeWarning", &S::StatusCodeWarning, WriteForm::Decimal},
        {"UpdateExternalStatus", &S::UpdateExternalStatus, WriteForm::Flag},
        {"ExternalStatusRunning", &S::ExternalStatusRunning, WriteForm::Decimal},
        {"ExternalStatusOK", &S::ExternalStatusOK, WriteForm::Decimal},
        {"ExternalStatusFail", &S::ExternalStatusFail, WriteForm::Decimal},
        {"UpdateImagingErorStatus", &S::UpdateImagingErorStatus, WriteForm::Flag},
    };
    return keys;
}

const std::vector<KeyDef<SpoolerSettings>>& SpoolerKeys() {
    static const std::vector<KeyDef<P>> keys = {
        {"Enable", &P::Enable, WriteForm::Flag},
        {"InputFolder", &P::InputFolder, WriteForm::Text},
        {"OutputFolder", &P::OutputFolder, WriteForm::Text},
        {"MakeArchive", &P::MakeArchive, WriteForm::Flag},
        {"ArchiveFolder", &P::ArchiveFolder, WriteForm::Text},
        {"InputName", &P::InputName, WriteForm::Text},
        {"OutputName", &P::OutputName, WriteForm::Text},
        {"ColorDetection", &P::ColorDetection, WriteForm::Decimal},
        {"KeepSize", &P::KeepSize, WriteForm::Flag},
        {"KeepResolution", &P::KeepResolution, WriteForm::Flag},
        {"EnableScaling", &P::EnableScaling, WriteForm::Flag},
        {"ResolutionX", &P::ResolutionX, WriteForm::Real},
        {"ResolutionY", &P::ResolutionY, WriteForm::Real},
        {"ScalingXC", &P::ScalingXC, WriteForm::Real},
        {"ScalingYC", &P::ScalingYC, WriteForm::Real},
        {"ScalingXM", &P::ScalingXM, WriteForm::Real},
        {"ScalingYM", &P::ScalingYM, WriteForm::Real},
        {"ScalingXY", &P::ScalingXY, WriteForm::Real},
        {"ScalingYY", &P::ScalingYY, WriteForm::Real},
        {"ScalingXK", &P::ScalingXK, WriteForm::Real},
        {"ScalingYK", &P::ScalingYK, WriteForm::Real},
        {"KeepMargins", &P::KeepMargins, WriteForm::Flag},
        {"LeftMargin", &P::LeftMargin, WriteForm::Real},
        {"RightMargin", &P::RightMargin, WriteForm::Real},
        {"TopMargin", &P::TopMargin, WriteForm::Real},
        {"BottomMargin", &P::BottomMargin, WriteForm::Real},
        {"MergeFile", &P::MergeFile, WriteForm::Flag},
        {"MergeFileName", &P::MergeFileName, WriteForm::Text},
        {"UseRegex", &P::UseRegex, WriteForm::Flag},
        {"MatchExpression", &P::MatchExpression, WriteForm::Text},
        {"FormatExpression", &P::FormatExpression, WriteForm::Text},
        {"Xreference", &P::Xreference, WriteForm::Decimal},
        {"Yreference", &P::Yreference, WriteForm::Decimal},
        {"LeftZonename", &P::LeftZonename, WriteForm::Text},
        {"RightZonename", &P::RightZonename, WriteForm::Text},
        {"ZoneDetection", &P::ZoneDetection, WriteForm::Decimal},
    };
    return keys;
}

const std::vector<KeyDef<WindowPlacement>>& WindowKeys() {
    static const std::vector<KeyDef<W>> keys = {
        {"Left", &W::Left, WriteForm::NotWritten},
        {"Top", &W::Top, WriteForm::NotWritten},
        {"Right", &W::Right, WriteForm::NotWritten},
        {"Bottom", &W::Bottom, WriteForm::NotWritten},
    };
    return keys;
}

const std::vector<KeyDef<StatusEndpointSettings>>& StatusKeys() {
    static const std::vector<KeyDef<E>> keys = {
        {"Port", &E::Port, WriteForm::NotWritten},
        {"Address", &E::Address, WriteForm::NotWritten},
    };
    return keys;
}

template <class Record>
void ReadKey(const KeyDef<Record>& key, const std::string& value, Record& record) {
    std::visit(
        [&](auto member) {
            using T = std::remove_cvref_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<T, int>) {
                record.*member = platform::ParseInt(value);
            } else if constexpr (std::is_same_v<T, double>) {
                record.*member = platform::ParseReal(value);
            } else {
                record.*member = value;
            }
        },
        key.field);
}

template <class Record>
std::string KeyText(const KeyDef<Record>& key, const Record& record) {
    return std::visit(
        [&](auto member) -> std::string {
            using T = std::remove_cvref_t<decltype(record.*member)>;
            if constexpr (std::is_same_v<T, int>) {
                if (key.form == WriteForm::Flag) return record.*member != 0 ? "1" : "0";
                return platform::Format("%d", record.*member);
            } else if constexpr (std::is_same_v<T, double>) {
                return platform::FormatReal(record.*member);
            } else {
                return record.*member;
            }
        },
        key.field);
}

template <class Record>
std::string ShownKeyText(const KeyDef<Record>& key, const Record& record) {
    std::string text = KeyText(key, record);
    return key.secret && !text.empty() ? "********" : text;
}

template void ReadKey(const KeyDef<S>&, const std::string&, S&);
template void ReadKey(const KeyDef<P>&, const std::string&, P&);
template void ReadKey(const KeyDef<W>&, const std::string&, W&);
template void ReadKey(const KeyDef<E>&, const std::string&, E&);
template std::string KeyText(const KeyDef<S>&, const S&);
template std::string KeyText(const KeyDef<P>&, const P&);
template std::string KeyText(const KeyDef<W>&, const W&);
template std::string ShownKeyText(const KeyDef<S>&, const S&);
template std::string ShownKeyText(const KeyDef<P>&, const P&);
template std::string ShownKeyText(const KeyDef<W>&, const W&);
template std::string KeyText(const KeyDef<E>&, const E&);
template std::string ShownKeyText(const KeyDef<E>&, const E&);

}  // namespace plexivar
