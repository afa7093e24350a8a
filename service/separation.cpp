#include "service/separation.h"


#include "platform/file_identity.h"
#include "platform/file_ops.h"
#include "service/image_description.h"
#include "service/info_file.h"
#include "service/name_fields.h"
#include "service/name_pattern.h"
#include "service/name_rewrite.h"
#include "service/report/log_file.h"

namespace plexivar {
namespace {

void Note(const DetectionOptions& options, const std::string& line) {
    if (options.notes)
        *options.notes += line + "\n";
}

void FromFileName(const SpoolerSettings& spooler, const std::string& fileName,
                  const DetectionOptions& options, SeparationInfo& info) {
    std::string name = fileName;
    if (spooler.UseRegex) {
        std::string error;
        name = RewriteName(spooler.MatchExpression, spooler.FormatExpression, fileName, &error);
        if (!error.empty())
            Note(options,
                 "Regular expression '" + spooler.MatchExpression + "' not used: " + error);
        else if (name != fileName)
            Note(options, "Name rewritten to '" + name + "'");
    }
    info.colour = ColourFromName(spooler.InputName, name, info.zone, options.separators);
}

void FromImageDescription(const std::string& inputPath, bool withCorrections,
                          const DetectionOptions& options, SeparationInfo& info) {
    std::string description;
    std::string error;
    if (!ReadImageDescription(inputPath, description, &error)) {
        info.colour.clear();
        Note(options, "Image description not read: " + error);
        return;
    }
    const DescriptionValues values = ParseImageDescription(description, withCorrections);
    info.colour = values.colour;
    info.zone = values.zone;
    info.correctionX = values.correctionX;
    info.correctionY = values.correctionY;
}


void FromInformationFile(const std::string& inputPath, const std::string& informationPath,
                         const DetectionOptions& options, SeparationInfo& info) {
    // An information path that names the image itself (a name without extension) must
    // neither be read as text nor deleted.
    if (informationPath.empty() || platform::SameFile(informationPath, inputPath)) {
        info.colour.clear();
        Note(options, "No information file path distinct from the image");
        return;
    }
    std::string text;
    std::string error;
    if (!ReadInformationText(informationPath, text, &error)) {
        info.colour.clear();
        Note(options, "Information file " + informationPath + " not read: " + error);
        return;
    }
    const InformationValues values = ParseInformationText(text);
    info.colour = values.colour;
    info.zone = values.zone;
    info.correctionX = values.correctionX;
    info.correctionY = values.correctionY;
}

}  // namespace

std::string UpperCaseColour(std::string_view colour) {
    std::string out(colour);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // UTF-8 pair of U+00C0..U+00FF: small letters U+00E0..U+00FE (not U+00F7, the
            // division sign) have continuation bytes 0xA0..0xBE; capitals are 0x20 lower.
            const auto next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0xA0 && next <= 0xBE && next != 0xB7)
                out[i + 1] = static_cast<char>(next - 0x20);
            ++i;
        } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
            out[i] = static_cast<char>(c - 0x20);  // Windows-1252 small accented letter
        }
    }
    return out;
}

std::string FinalColour(const std::string& colour, int mode) {
    const bool strict = mode == ByImageDescription || mode == ByImageDescriptionWithCorrection ||
                        mode == ByInformationFile;
    if (colour.empty() || colour == "b" || colour == "B")
        return std::string(1, 'K');
    if (strict && colour != "C" && colour != "M" && colour != "Y" && colour != "K")
        return std::string(1, 'K');
    return UpperCaseColour(colour);
}

SeparationInfo DetectSeparation(const SpoolerSettings& spooler, const std::string& folderLetter,
                                const std::string& fileName, const std::string& inputPath,
                                const std::string& informationPath,
                                const DetectionOptions& options) {
    SeparationInfo info;
    info.flatSeparation = FlatSeparationFromName(fileName);
    if (!spooler.EnableScaling)
        return info;

    const int mode = spooler.ColorDetection;
    switch (mode) {
        case BySubFolder:
            info.colour = folderLetter;
            break;
        case ByFileName:
            FromFileName(spooler, fileName, options, info);
            break;
        case ByImageDescription:
        case ByImageDescriptionWithCorrection:
            FromImageDescription(inputPath, mode == ByImageDescriptionWithCorrection, options,
                                 info);
            break;
        case ByInformationFile:
            FromInformationFile(inputPath, informationPath, options, info);
            break;
        default:
            break;  // no source: the colour stays "K"
    }
    info.colour = FinalColour(info.colour, mode);

    if (mode == ByInformationFile && options.deleteInformationFile && !informationPath.empty() &&
        !platform::SameFile(informationPath, inputPath)) {
        std::string error;
        if (!platform::DeleteFile(informationPath, &error))
            WriteLog("WARNING: Unable to delete information file %s - %s", informationPath.c_str(),
                     error.c_str());
    }
    return info;
}

SeparationInfo DetectSeparation(const SpoolerSettings& spooler, const std::string& folderLetter,
                                const std::string& fileName, const std::string& inputPath,
                                const std::string& informationPath) {
    DetectionOptions options;
    options.separators = GlobalSettings().service.Separators;
    return DetectSeparation(spooler, folderLetter, fileName, inputPath, informationPath, options);
}

}  // namespace plexivar
