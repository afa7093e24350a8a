// RowPreparer and the PreparedRow storage (prepared_row.h).
#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>

#include "engine/filter/prepared_row.h"
#include "engine/filter/resample_sampling.h"

namespace vestrel {

namespace {

constexpr float kAlwaysBlack = -std::numeric_limits<float>::infinity();
constexpr float kNeverBlack = std::numeric_limits<float>::quiet_NaN();

// Pass runs shorter than this between decided pixels are diffused as decided pixels of value
// 0: switching loops costs more than the few pixels save.
constexpr int kShortestPassRun = 8;

// Bytes read at once when looking for black source pixels; either_ ends in this many zeros.
constexpr int kWordBytes = 8;

// The bands of RescreenParams, held in registers by the pixel loops (stores through the
// output pointers could otherwise alias them and force a reload per pixel).
struct Bands {
    explicit Bands(const RescreenParams& p) : low(p.low), high(p.high), middle(p.middle) {}
    float low;
    float high;
    float middle;

    // Black threshold of a decided pixel of (interpolated, noisy) value `value`: the forced
    // bands decide by the value alone, the middle band by value + error. Selected without a
    // branch, as the bands of a halftone alternate unpredictably.
    float BlackFrom(float value) const {
        const float t = value >= high ? kAlwaysBlack : middle;
        return value < low ? kNeverBlack : t;
    }
};

// Gathers the pixels of one direct row, visited in scan order, into decided runs.
class RunCollector {
  public:
    RunCollector(PreparedRow& row, int direction) : row_(row), direction_(direction) {
        row_.decided.clear();
    }

    void Pass(bool black) {
        ++pending_;
        pendingBlack_ = pendingBlack_ || black;
    }

    // Column c is decided; its value and threshold are already stored.
    void Decided(int c) {
        if (pending_ > 0) {
            if (open_ && pending_ < kShortestPassRun && !pendingBlack_) {
                // The white pass pixels just before c join the run as value 0, never black.
                for (int k = 1; k <= pending_; ++k) {
                    const auto column = static_cast<std::size_t>(c - direction_ * k);
                    row_.value[column] = 0.0f;
                    row_.blackFrom[column] = kNeverBlack;
                }
                row_.decided.back().count += pending_;
            } else {
                open_ = false;
            }
            pending_ = 0;
            pendingBlack_ = false;
        }
        if (open_) {
            ++row_.decided.back().count;
        } else {
            // Never reallocates: Reserve made room for a run per two columns.
            row_.decided.push_back(PixelRun{c, 1});
            open_ = true;
        }
    }

  private:
    PreparedRow& row_;
    int direction_;
    bool open_ = false;          // the last run can still grow
    int pending_ = 0;            // pass pixels since the last decided one
    bool pendingBlack_ = false;  // one of them prints black
};

// Direct rows (no interpolation): a value in a forced band prints by the band alone and passes
// the error on untouched; the others are decided against the middle. Every pixel draws its
// noise, in scan order.
template <int Direction, bool Noise>
void PrepareDirect(const RowSample& sample, const ColumnTables& tables, const RescreenParams& p,
                   FilterRandom& random, PreparedRow& row, std::uint8_t* out) {
    const std::uint8_t* const row0 = sample.row0;
    const std::int32_t* const c0 = tables.c0.data();
    RunCollector runs(row, Direction);
    const int w = tables.w;
    const int start = Direction > 0 ? 0 : w - 1;
    for (int k = 0; k < w; ++k) {
        const int c = start + Direction * k;
        float f = p.valueOf[row0[c0[c]]];
        if constexpr (Noise)
            f += random.NoiseTerm(p.noiseAmplitude);
        if (f < p.low || f >= p.high) {
            const bool black = f >= p.high;
            out[c] = black ? 255 : 0;
            runs.Pass(black);
            continue;
        }
        row.value[static_cast<std::size_t>(c)] = f;
        row.blackFrom[static_cast<std::size_t>(c)] = p.middle;
        runs.Decided(c);
    }
}

// How a decided range treats a pixel whose four source pixels are all white: it draws no
// noise and passes its error on, so it is kept as value 0 (the sample of four white pixels),
// never black.
enum class WhitePixels {
    kNoise,        // noise is drawn for the other pixels only: tested pixel by pixel
    kForcedWhite,  // no noise, and a value of 0 lies in the forced white band: nothing to test
    kTested,       // no noise, but 0 is not forced white (Threshold 0): tested pixel by pixel
};

// The pixels of an interpolated row that may read a black source pixel, `run.count` of them
// from column run.first in scan direction: the bilinear value plus noise and the threshold.
template <int Direction, WhitePixels White>
void DecideRange(const RowSample& sample, const ColumnTables& tables, const RescreenParams& p,
                 FilterRandom& random, PixelRun run, float* values, float* thresholds) {
    const float* const valueOf = p.valueOf;
    const std::uint8_t* const row0 = sample.row0;
    const std::uint8_t* const row1 = sample.row1;
    const std::int32_t* const c0 = tables.c0.data();
    const std::int32_t* const c1 = tables.c1.data();
    const float* const fx = tables.fx.data();
    const float* const gx = tables.gx.data();
    const float fy = sample.fy;
    const float gy = sample.gy;
    const float amplitude = p.noiseAmplitude;
    const Bands bands(p);
    int c = run.first;
    for (int k = 0; k < run.count; ++k, c += Direction) {
        const std::uint8_t b00 = row0[c0[c]];
        const std::uint8_t b01 = row0[c1[c]];
        const std::uint8_t b10 = row1[c0[c]];
        const std::uint8_t b11 = row1[c1[c]];
        const bool any = (b00 | b01 | b10 | b11) != 0;
        if constexpr (White == WhitePixels::kNoise) {
            if (!any) {
                values[c] = 0.0f;
                thresholds[c] = kNeverBlack;
                continue;
            }
        }
        float value = Interpolate(valueOf[b00], valueOf[b01], valueOf[b10], valueOf[b11], fx[c],
                                  gx[c], fy, gy);
        if constexpr (White == WhitePixels::kNoise)
            value += random.NoiseTerm(amplitude);
        values[c] = value;
        if constexpr (White == WhitePixels::kTested)
            thresholds[c] = any ? bands.BlackFrom(value) : kNeverBlack;
        else if constexpr (White == WhitePixels::kNoise)
            thresholds[c] = bands.BlackFrom(value);
    }
    if constexpr (White == WhitePixels::kForcedWhite) {
        // The thresholds follow from the values alone: a separate loop over the columns of the
        // run, which the compiler turns into vector compares and selects.
        const int first = Direction > 0 ? run.first : run.first - run.count + 1;
        for (int x = first; x < first + run.count; ++x) thresholds[x] = bands.BlackFrom(values[x]);
    }
}

template <int Direction, WhitePixels White>
void DecideRanges(const std::vector<PixelRun>& ranges, const RowSample& sample,
                  const ColumnTables& tables, const RescreenParams& p, FilterRandom& random,
                  PreparedRow& row) {
    const int n = static_cast<int>(ranges.size());
    row.decided.clear();
    for (int k = 0; k < n; ++k) {
        // The ranges run left to right; a right-to-left row takes them from the right, each
        // from its last column.
        const PixelRun& range = ranges[static_cast<std::size_t>(Direction > 0 ? k : n - 1 - k)];
        const PixelRun run{Direction > 0 ? range.first : range.first + range.count - 1,
                           range.count};
        DecideRange<Direction, White>(sample, tables, p, random, run, row.value.data(),
                                      row.blackFrom.data());
        row.decided.push_back(run);
    }
}

template <int Direction>
void DecideRanges(const std::vector<PixelRun>& ranges, const RowSample& sample,
                  const ColumnTables& tables, const RescreenParams& p, FilterRandom& random,
                  PreparedRow& row) {
    if (p.addnoise)
        DecideRanges<Direction, WhitePixels::kNoise>(ranges, sample, tables, p, random, row);
    else if (Bands(p).BlackFrom(0.0f) != Bands(p).BlackFrom(0.0f))  // NaN: never black
        DecideRanges<Direction, WhitePixels::kForcedWhite>(ranges, sample, tables, p, random, row);
    else
        DecideRanges<Direction, WhitePixels::kTested>(ranges, sample, tables, p, random, row);
}

std::uint64_t LoadWord(const std::uint8_t* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Offsets within a non-zero word loaded by LoadWord: the byte at the lowest address is the
// least significant one.
static_assert(std::endian::native == std::endian::little);
int FirstNonZeroByte(std::uint64_t word) {
    return std::countr_zero(word) / 8;
}
int LastNonZeroByte(std::uint64_t word) {
    return (63 - std::countl_zero(word)) / 8;
}

}  // namespace

bool PreparedRow::Reserve(int columns) {
    const auto w = static_cast<std::size_t>(columns > 0 ? columns : 0);
    try {
        value.resize(w);
        blackFrom.resize(w);
        // Decided runs are separated by at least one pass pixel.
        decided.reserve(w / 2 + 1);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool RowPreparer::Start(const ResampleGeometry& g, const ColumnTables& tables,
                        const RescreenParams& p) {
    g_ = &g;
    tables_ = &tables;
    p_ = &p;
    // A pass pixel hands its error on untouched because four white source pixels sample to 0.
    if (p.valueOf == nullptr || p.valueOf[0] != 0.0f)
        return false;
    const int w = tables.w;
    if (!g.doreschange || w <= 0)
        return true;
    sourceBegin_ = tables.c0[0];
    sourceEnd_ = tables.c1[static_cast<std::size_t>(w - 1)] + 1;
    const auto n = static_cast<std::size_t>(sourceEnd_ - sourceBegin_);
    try {
        firstReader_.resize(n);
        lastReader_.resize(n);
        either_.assign(n + kWordBytes, 0);
        ranges_.reserve(static_cast<std::size_t>(w) / 2 + 1);
    } catch (const std::exception&) {
        return false;
    }
    // Both source columns of an output column grow with it, so one sweep each finds them.
    int c = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const std::int32_t column = sourceBegin_ + static_cast<std::int32_t>(s);
        while (c < w && tables.c1[static_cast<std::size_t>(c)] < column) ++c;
        firstReader_[s] = c;
    }
    c = w - 1;
    for (std::size_t s = n; s-- > 0;) {
        const std::int32_t column = sourceBegin_ + static_cast<std::int32_t>(s);
        while (c >= 0 && tables.c0[static_cast<std::size_t>(c)] > column) --c;
        lastReader_[s] = c;
    }
    return true;
}

void RowPreparer::FindReadRanges(const std::uint8_t* row0, const std::uint8_t* row1) {
    const int n = sourceEnd_ - sourceBegin_;
    std::uint8_t* const either = either_.data();
    const std::uint8_t* const a = row0 + sourceBegin_;
    const std::uint8_t* const b = row1 + sourceBegin_;
    for (int s = 0; s < n; ++s) either[s] = static_cast<std::uint8_t>(a[s] | b[s]);

    ranges_.clear();
    int s = 0;
    while (s < n) {
        // Skip white, a word at a time. A word read from s < n stays inside either_.
        std::uint64_t word = LoadWord(either + s);
        while (word == 0) {
            s += kWordBytes;
            if (s >= n)
                break;
            word = LoadWord(either + s);
        }
        if (s >= n)
            break;
        const int blackFirst = s + FirstNonZeroByte(word);
        // Words from blackFirst on up to the next all-white one; the last black byte is in
        // the word before it.
        int at = blackFirst;
        std::uint64_t blackWord = LoadWord(either + at);
        while (at + kWordBytes < n) {
            const std::uint64_t following = LoadWord(either + at + kWordBytes);
            if (following == 0)
                break;
            at += kWordBytes;
            blackWord = following;
        }
        const int blackLast = at + LastNonZeroByte(blackWord);
        s = at + kWordBytes;
        const int first = firstReader_[static_cast<std::size_t>(blackFirst)];
        const int lastColumn = lastReader_[static_cast<std::size_t>(blackLast)];
        if (first > lastColumn)
            continue;  // no output column samples these source columns
        if (!ranges_.empty()) {
            PixelRun& previous = ranges_.back();
            const int previousEnd = previous.first + previous.count;
            if (first - previousEnd < kShortestPassRun) {
                previous.count = std::max(previousEnd, lastColumn + 1) - previous.first;
                continue;
            }
        }
        // Never reallocates: ranges are at least one column apart.
        ranges_.push_back(PixelRun{first, lastColumn + 1 - first});
    }
}

void RowPreparer::PrepareInterpolated(const SourceBlock& src, FilterRandom& random, std::int64_t y,
                                      PreparedRow& row, std::uint8_t* out) {
    const RowSample sample = SampleRows(*g_, src, y);
    FindReadRanges(sample.row0, sample.row1);
    // Every column outside the ranges reads four white source pixels: it prints white.
    int c = 0;
    for (const PixelRun& range : ranges_) {
        std::memset(out + c, 0, static_cast<std::size_t>(range.first - c));
        c = range.first + range.count;
    }
    std::memset(out + c, 0, static_cast<std::size_t>(tables_->w - c));
    if (row.rightToLeft)
        DecideRanges<-1>(ranges_, sample, *tables_, *p_, random, row);
    else
        DecideRanges<1>(ranges_, sample, *tables_, *p_, random, row);
}

void RowPreparer::Prepare(const SourceBlock& src, FilterRandom& random, std::int64_t y,
                          PreparedRow& row, std::uint8_t* out) {
    row.width = tables_->w;
    row.rightToLeft = ScanRightToLeft(*p_, random, y);
    if (row.width <= 0) {
        row.decided.clear();
        return;
    }
    if (g_->doreschange) {
        PrepareInterpolated(src, random, y, row, out);
        return;
    }
    const RowSample sample = SampleRows(*g_, src, y);
    if (row.rightToLeft) {
        if (p_->addnoise)
            PrepareDirect<-1, true>(sample, *tables_, *p_, random, row, out);
        else
            PrepareDirect<-1, false>(sample, *tables_, *p_, random, row, out);
    } else {
        if (p_->addnoise)
            PrepareDirect<1, true>(sample, *tables_, *p_, random, row, out);
        else
            PrepareDirect<1, false>(sample, *tables_, *p_, random, row, out);
    }
}

bool RescreenBandPrepared(const ResampleGeometry& g, const ColumnTables& tables,
                          const SourceBlock& src, const RescreenParams& p, FilterRandom& random,
                          ErrorRows& errors, std::uint8_t* const* out, std::int64_t y, int h) {
    RowPreparer preparer;
    PreparedRow row;
    if (!preparer.Start(g, tables, p) || !row.Reserve(tables.w))
        return false;
    for (int r = 0; r < h; ++r) {
        preparer.Prepare(src, random, y + r, row, out[r]);
        DiffusePreparedRow(row, p.maxValue, errors, out[r]);
    }
    return true;
}

}  // namespace vestrel
