// The seed corpus of every fuzz target: the project's own test images (wedge plates, the
// service's test plates, the hand-made damaged files of the engine tests) and texts (the
// example ini file, information files, names, mount tables, echo replies), the inputs kept
// in tests/fuzz/regressions, and small crops of the shared sample separations when they are
// present (the originals are thousands of pixels a side: far too slow to fuzz whole).
#include "tests/fuzz/seed_corpus.h"

#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/icmp_echo.h"
#include "service/config/settings.h"
#include "tests/engine/hand_made_tiff.h"
#include "tests/engine/plate_images.h"
#include "tests/fuzz/fixture_crop.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/plate_parameters.h"
#include "tests/support/test_plate.h"

namespace plexivar::fuzz {
namespace {

namespace fs = std::filesystem;
using vestrel::testing::HandMadeTiff;
using vestrel::testing::PlateLayout;

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class SeedWriter {
public:
    explicit SeedWriter(fs::path folder) : folder_(std::move(folder)) {}

    void Add(const std::string& target, const std::string& bytes) {
        const fs::path dir = folder_ / target;
        fs::create_directories(dir);
        std::ofstream(dir / ("seed-" + std::to_string(++count_)), std::ios::binary) << bytes;
    }
    int count() const { return count_; }

private:
    fs::path folder_;
    int count_ = 0;
};

// Small plates in the layouts the engine meets: polarity, compression, strip heights, sizes
// around the byte boundary, and the service's own test plate with a description.
std::vector<std::string> ProjectPlates(const fs::path& scratch) {
    std::vector<PlateLayout> layouts;
    const auto layout = [&](std::uint32_t w, std::uint32_t h, std::uint16_t compression) {
        PlateLayout p;
        p.width = w;
        p.height = h;
        p.compression = compression;
        p.rowsPerStrip = 16;
        layouts.push_back(p);
        return &layouts.back();
    };
    layout(64, 48, COMPRESSION_CCITTFAX4);
    layout(61, 33, COMPRESSION_NONE)->minIsBlack = true;
    layout(120, 80, COMPRESSION_PACKBITS)->negative = true;
    layout(96, 64, COMPRESSION_LZW)->symmetric = true;
    layout(200, 40, COMPRESSION_CCITTFAX3)->rowsPerStrip = 1;
    layout(8, 300, COMPRESSION_CCITTFAX4)->dpi = 2400;
    layout(300, 8, COMPRESSION_NONE)->dpi = 300;

    std::vector<std::string> plates;
    const fs::path path = scratch / "plate.tif";
    for (const PlateLayout& p : layouts) {
        if (vestrel::testing::WritePlate(path.string(), p)) plates.push_back(ReadWhole(path));
    }
    testing::TestPlate described;
    described.description = "M;98.5;101.2;3";
    if (testing::WriteTestPlate(path.string(), described)) plates.push_back(ReadWhole(path));
    return plates;
}

// The damaged files of the engine's tests: absurd tags, short and missing data.
std::vector<std::string> DamagedPlates() {
    const auto fax = [](std::uint32_t w, std::uint32_t h) {
        return HandMadeTiff(w, h, COMPRESSION_CCITTFAX4, h, {std::string(10, '\xFF')});
    };
    std::vector<std::string> files;
    files.push_back(fax(64, 5000).Bytes());
    files.push_back(fax(1728, 2200).Rational(TIFFTAG_XRESOLUTION, 204, 1).Rational(TIFFTAG_YRESOLUTION, 52, 10000).Bytes());
    files.push_back(fax(64, 100).Short(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE).Short(TIFFTAG_COLORMAP, {0, 65535, 0, 65535, 0, 65535}).Bytes());
    files.push_back(fax(4294967295u, 1).Bytes());
    HandMadeTiff truncated(64, 100, COMPRESSION_NONE, 10, std::vector<std::string>(5, std::string(80, '\x55')));
    files.push_back(truncated.MissingStrips(5, 80).Rational(TIFFTAG_XRESOLUTION, 600, 1).Rational(TIFFTAG_YRESOLUTION, 600, 1).Bytes());
    HandMadeTiff bits(32, 32, COMPRESSION_NONE, 32, {std::string(4 * 32, '\x0F')});
    files.push_back(bits.Short(TIFFTAG_BITSPERSAMPLE, 8).Bytes());
    return files;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

void AddPlates(SeedWriter& seeds, const std::vector<std::string>& plates) {
    // Parameter bytes: the common call, a fan-out scaling on the kept page, a change of
    // resolution with margins, a merge with small bands.
    const std::string resample[] = {Bytes({0, 0, 0, 0, 0, 0}), Bytes({3, 0x11, 0, 0, 0, 5}),
                                    Bytes({0, 0, 0x11, 0x22, 0x17, 0}), Bytes({4 | 16, 0x52, 0x33, 0, 0, 10})};
    for (std::size_t i = 0; i < plates.size(); ++i) {
        const std::string& plate = plates[i];
        seeds.Add("row_reader", plate);
        seeds.Add("resample", resample[0] + plate);
        seeds.Add("resample", resample[1 + i % 3] + plate);
        seeds.Add("simple_resample", Bytes({0}) + plate);
        seeds.Add("simple_resample", Bytes({static_cast<int>(1 + i % 4)}) + plate);
        seeds.Add("dot_gain", Bytes({static_cast<int>(i % 8)}) + plate);
        seeds.Add("image_description", plate);
        const std::string& other = plates[(i + 1) % plates.size()];
        seeds.Add("background_merge", MergeParameterBytes(plate.size(), static_cast<int>(i % 6)) + plate + other);
    }
}

void AddTexts(SeedWriter& seeds, const fs::path& sourceDir, const fs::path& scratch) {
    seeds.Add("ini_file", ReadWhole(sourceDir / "packaging/plexivar.ini.example"));
    Settings defaults;
    const fs::path saved = scratch / "defaults.ini";
    if (SaveSettings(saved.string(), defaults)) seeds.Add("ini_file", ReadWhole(saved));
    seeds.Add("ini_file", "; comment\n[setup]\nInputFolder1 = \"in 1\"\rOutputFolder1='out'\r\n[Window]\nPlacement=1,2\n[Setup");

    const std::string info = "ColorName: Magenta\r\nXcorrection: 98\r\nYcorrection: 97\r\nZone: 3\r\n";
    seeds.Add("information_file", info);
    seeds.Add("information_file", "Zone: 12 \nColorName: K\nXcorrection: nan\nYcorrection: 1e400");
    seeds.Add("information_file", std::string("ColorName: C\0Zone: 1\n", 21) + "Xcorrection: 99.5");

    for (const char* d : {"M;98.5;101.2;3", "K", "C;;;", "Y;nan;inf;12", ";;;;;;;;", "Black;99;99;A;B"})
        seeds.Add("image_description", d);

    for (const char* p : {"%?-%C.tif\npage7-cyan.tif\n-_.", "%2?_%C_%3Z\n12_M_ABC.tif\n",
                          "%?-%C.tif\n12345-C.tif\n-_.", "%4096?%C\nx\n", "%C%Z%?\n\n-"})
        seeds.Add("name_pattern", p);

    for (const char* r : {"(.*)\\((Cyan|Magenta|Yellow|Black)\\)\\.tif\n$1-$2.tif\ntiger(Cyan).tif",
                          "^(\\d+)_([CMYK])\\.tif$\n$1-$2.tif\n0042_K.tif",
                          "(a+)+b\n$1\naaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", "([\n$1\nx.tif"})
        seeds.Add("name_rewrite", r);

    seeds.Add("mount_table", ReadWhole("/proc/self/mountinfo"));
    seeds.Add("mount_table",
              "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 0:40 / /mnt/plates rw,relatime shared:20 - cifs //fileserver/plates rw,vers=3.0\n"
              "41 40 0:41 / /mnt/plates/in rw - nfs4 nfshost:/export/in rw\n"
              "42 22 0:42 / /mnt/plates\\040old rw - nfs user@oldhost:/export rw\n"
              "43 22 0:43 / /mnt/sshfs rw - fuse.sshfs operator@10.1.2.3:/data rw\n"
              "44 22 0:44 / /mnt/v6 rw - nfs [fd00::5]:/export rw\n"
              "45 22 0:45 / /mnt/dav rw - davfs https://user@dav.example:8443/plates rw\n");

    // Echo answers to identifier 0x1234, sequence 7: a reply on a datagram socket, the same
    // behind an IPv4 header on a raw socket, and a "port unreachable" quoting our request.
    std::vector<std::uint8_t> reply = platform::BuildEchoRequest(0x1234, 7, 1000, 32);
    reply[0] = 0;
    const std::string prefix = Bytes({0, 0x34, 0x12, 7, 0});
    const std::string rawPrefix = Bytes({1, 0x34, 0x12, 7, 0});
    const std::string ipHeader = Bytes({0x45, 0, 0, 60, 0, 0, 0, 0, 64, 1, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1});
    const std::string icmp(reply.begin(), reply.end());
    seeds.Add("icmp_reply", prefix + icmp);
    seeds.Add("icmp_reply", rawPrefix + ipHeader + icmp);
    std::string request = icmp;
    request[0] = 8;
    seeds.Add("icmp_reply", rawPrefix + ipHeader + Bytes({3, 3, 0, 0, 0, 0, 0, 0}) + ipHeader + request.substr(0, 8));
}

void AddKeptInputs(SeedWriter& seeds, const fs::path& regressions) {
    std::error_code ec;
    for (const FuzzTarget& target : FuzzTargets()) {
        for (const auto& entry : fs::directory_iterator(regressions / target.name, ec))
            if (entry.is_regular_file()) seeds.Add(target.name, ReadWhole(entry.path()));
    }
}

}  // namespace

int WriteSeedCorpus(const std::string& folder, const std::string& sourceDir,
                    const std::string& fixturesDir) {
    const fs::path scratch = fs::path(folder) / "scratch";
    fs::create_directories(scratch);
    SeedWriter seeds(folder);
    std::vector<std::string> plates = ProjectPlates(scratch);
    for (std::string& damaged : DamagedPlates()) plates.push_back(std::move(damaged));
    if (!fixturesDir.empty()) {
        for (std::string& crop : FixtureCrops(fixturesDir, scratch.string())) plates.push_back(std::move(crop));
    }
    AddPlates(seeds, plates);
    AddTexts(seeds, sourceDir, scratch);
    AddKeptInputs(seeds, fs::path(sourceDir) / "tests/fuzz/regressions");
    fs::remove_all(scratch);
    return seeds.count();
}

}  // namespace plexivar::fuzz
