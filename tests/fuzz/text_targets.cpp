// Fuzz targets for the texts the service reads from outside: the ini file, information
// files, image descriptions, file names with their patterns and rewrites, the mount table
// and the ICMP datagrams that answer a folder check.
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "platform/icmp_echo.h"
#include "platform/ini_file.h"
#include "platform/mount_table.h"
#include "service/config/settings.h"
#include "service/image_description.h"
#include "service/info_file.h"
#include "service/name_pattern.h"
#include "service/name_rewrite.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/scratch.h"
#include "tests/fuzz/target_functions.h"

namespace plexivar::fuzz {
namespace {

std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The first `count - 1` lines of `text` and the rest as the last field; absent fields are
// empty.
std::vector<std::string_view> Fields(std::string_view text, std::size_t count) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) break;
        fields.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    fields.push_back(text);
    fields.resize(count);
    return fields;
}

}  // namespace

void FuzzIniFile(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    platform::IniFile ini = platform::IniFile::Parse(text);
    // A document that is only read is written back as it came: comments, order, line ends.
    Require(ini.Text() == text, "an ini document keeps its text");
    ini.Get("Setup", "InputFolder1", "default", 16);
    ini.Has("Window", "Placement");
    // A value set reads back, in this document and in its text read again.
    const std::string value = "plate room 7";
    ini.Set("Setup", "FuzzKey", value);
    Require(ini.Get("Setup", "FuzzKey", "") == value, "a value set reads back", ini.Text());
    Require(platform::IniFile::Parse(ini.Text()).Get("Setup", "FuzzKey", "") == value,
            "a value set reads back after a save", ini.Text());
    // The settings as the service loads them from such a file.
    const std::string path = WriteScratchFile("fuzz.ini", text);
    Settings settings;
    LoadSettings(path, ScratchFolder(), settings);
    Require(settings.service.NumberOfSpoolers <= MaxSpoolers, "the spooler count is clamped");
}

void FuzzInformationFile(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    const InformationValues values = ParseInformationText(text);
    Require(values.colour.size() <= 1, "a colour is one character");
    Require(std::isfinite(values.correctionX) && std::isfinite(values.correctionY),
            "corrections are finite");
    const std::string stripped = StripCorrectionsFromText(std::string(text));
    Require(stripped.size() <= text.size(), "stripping never adds text");
    // The file as the service reads it: at most the first 4 KiB, up to a NUL byte.
    const std::string path = WriteScratchFile("fuzz.inf", text);
    std::string read;
    Require(ReadInformationText(path, read), "a regular file reads");
    Require(read.size() <= kInformationReadLimit, "at most the read limit is read");
    StripCorrections(path);
}

void FuzzImageDescription(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    for (const bool withCorrections : {false, true}) {
        const DescriptionValues values = ParseImageDescription(text, withCorrections);
        Require(std::isfinite(values.correctionX) && std::isfinite(values.correctionY),
                "corrections are finite");
        Require(withCorrections || (values.correctionX == 0 && values.correctionY == 0),
                "no corrections unless asked for");
    }
    // The same bytes as a file: the service reads the tag of anything in a hot folder.
    std::string description;
    ReadImageDescription(WriteScratchFile("fuzz-description.tif", text), description);
}

void FuzzNamePattern(const std::uint8_t* data, std::size_t size) {
    // pattern \n name \n separators
    const std::vector<std::string_view> f = Fields(AsText(data, size), 3);
    ExpandNamePattern(f[0]);
    std::string zone;
    const std::string colour = ColourFromName(f[0], f[1], zone, f[2]);
    Require(colour.size() <= f[1].size() && zone.size() <= f[1].size(),
            "colour and zone come from the name");
}

void FuzzNameRewrite(const std::uint8_t* data, std::size_t size) {
    // match expression \n format \n name
    const std::vector<std::string_view> f = Fields(AsText(data, size), 3);
    std::string error;
    RewriteName(f[0], f[1], f[2], &error);
}

void FuzzMountTable(const std::uint8_t* data, std::size_t size) {
    const std::vector<platform::MountEntry> entries = platform::ParseMountInfo(AsText(data, size));
    for (const platform::MountEntry& e : entries) {
        platform::IsNetworkFileSystem(e.fsType);
        const std::string host = platform::HostFromMountSource(e.source);
        Require(host.size() <= e.source.size(), "a host comes from its source");
        platform::FindMountFor(entries, e.mountPoint + "/in");
        platform::LexicallyAbsolute(e.source, e.mountPoint);
    }
}

void FuzzIcmpReply(const std::uint8_t* data, std::size_t size) {
    // byte 0: socket kind (bit 0: raw, with IP header); bytes 1..4: identifier, sequence
    if (size < 5) return;
    const bool withIpHeader = (data[0] & 1) != 0;
    const std::uint16_t identifier = static_cast<std::uint16_t>(data[1] | data[2] << 8);
    const std::uint16_t sequence = static_cast<std::uint16_t>(data[3] | data[4] << 8);
    // The datagram in a buffer of its own size, so that a read past its end is seen.
    const std::vector<std::uint8_t> datagram(data + 5, data + size);
    const platform::EchoAnswer answer = platform::ClassifyEchoDatagram(
        datagram.data(), datagram.size(), withIpHeader, identifier, sequence);
    Require(answer.verdict != platform::EchoVerdict::Reply || answer.type == 0,
            "a reply is an echo reply");
    platform::InternetChecksum(datagram.data(), datagram.size());
}

}  // namespace plexivar::fuzz
