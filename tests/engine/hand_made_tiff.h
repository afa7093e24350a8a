// Little-endian TIFF files assembled byte by byte, so that a test can state any tag value at
// all, however absurd (the TIFF library's own writer refuses many of them), and any strip
// data, however damaged.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vestrel::testing {

class HandMadeTiff {
public:
    // A 1-bit min-is-white image of `width` x `height` pixels, `compression`, with one strip
    // of `rowsPerStrip` rows per entry of `strips`.
    HandMadeTiff(std::uint32_t width, std::uint32_t height, std::uint16_t compression,
                 std::uint32_t rowsPerStrip, std::vector<std::string> strips)
        : strips_(std::move(strips)) {
        Long(TIFFTAG_IMAGEWIDTH, width);
        Long(TIFFTAG_IMAGELENGTH, height);
        Short(TIFFTAG_BITSPERSAMPLE, 1);
        Short(TIFFTAG_COMPRESSION, compression);
        Short(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        Short(TIFFTAG_SAMPLESPERPIXEL, 1);
        Long(TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    }

    HandMadeTiff& Short(std::uint16_t tag, std::vector<std::uint32_t> values) {
        return Set(tag, 3, std::move(values));
    }
    HandMadeTiff& Short(std::uint16_t tag, std::uint32_t value) {
        return Short(tag, std::vector<std::uint32_t>{value});
    }
    HandMadeTiff& Long(std::uint16_t tag, std::uint32_t value) { return Set(tag, 4, {value}); }
    // A RATIONAL: numerator / denominator.
    HandMadeTiff& Rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
        return Set(tag, 5, {numerator, denominator});
    }
    // `count` more strips that the directory lists beyond the end of the file (a truncated
    // file), each said to hold `bytes` bytes.
    HandMadeTiff& MissingStrips(std::uint32_t count, std::uint32_t bytes) {
        missingStrips_ = count;
        missingBytes_ = bytes;
        return *this;
    }

    std::string Bytes() const {
        std::vector<Entry> entries = entries_;
        std::vector<std::uint32_t> counts;
        for (const std::string& s : strips_) counts.push_back(static_cast<std::uint32_t>(s.size()));
        for (std::uint32_t i = 0; i < missingStrips_; ++i) counts.push_back(missingBytes_);
        entries.push_back({TIFFTAG_STRIPOFFSETS, 4, counts});  // values set below
        entries.push_back({TIFFTAG_STRIPBYTECOUNTS, 4, counts});
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.tag < b.tag; });

        // Header, directory, the values that do not fit an entry, then the strips.
        const std::uint32_t directoryEnd = 8 + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
        std::uint32_t extra = 0;
        for (const Entry& e : entries) extra += e.Size() > 4 ? e.Size() : 0;
        std::uint32_t offset = directoryEnd + extra;
        std::vector<std::uint32_t> offsets;
        for (std::size_t i = 0; i < strips_.size(); ++i) {
            offsets.push_back(offset);
            offset += counts[i];
        }
        // Missing strips lie beyond the end of the file.
        for (std::uint32_t i = 0; i < missingStrips_; ++i) offsets.push_back(offset + 4096);
        for (Entry& e : entries)
            if (e.tag == TIFFTAG_STRIPOFFSETS) e.values = offsets;

        std::string out("II*\0", 4);
        Put32(out, 8);
        Put16(out, static_cast<std::uint32_t>(entries.size()));
        std::string values;
        for (const Entry& e : entries) {
            Put16(out, e.tag);
            Put16(out, e.type);
            Put32(out, e.Count());
            std::string data;
            for (std::uint32_t v : e.values) e.type == 3 ? Put16(data, v) : Put32(data, v);
            if (data.size() <= 4) {
                data.resize(4, '\0');
                out += data;
            } else {
                Put32(out, directoryEnd + static_cast<std::uint32_t>(values.size()));
                values += data;
            }
        }
        Put32(out, 0);
        out += values;
        for (const std::string& s : strips_) out += s;
        return out;
    }

private:
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;  // 3 SHORT, 4 LONG, 5 RATIONAL
        std::vector<std::uint32_t> values;
        std::uint32_t Count() const {
            return static_cast<std::uint32_t>(type == 5 ? values.size() / 2 : values.size());
        }
        std::uint32_t Size() const {
            return static_cast<std::uint32_t>(values.size()) * (type == 3 ? 2 : 4);
        }
    };
    HandMadeTiff& Set(std::uint16_t tag, std::uint16_t type, std::vector<std::uint32_t> values) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [&](const Entry& e) { return e.tag == tag; }),
                       entries_.end());
        entries_.push_back({tag, type, std::move(values)});
        return *this;
    }
    static void Put16(std::string& out, std::uint32_t v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    static void Put32(std::string& out, std::uint32_t v) {
        Put16(out, v & 0xFFFF);
        Put16(out, v >> 16);
    }

    std::vector<Entry> entries_;
    std::vector<std::string> strips_;
    std::uint32_t missingStrips_ = 0;
    std::uint32_t missingBytes_ = 0;
};

}  // namespace vestrel::testing
