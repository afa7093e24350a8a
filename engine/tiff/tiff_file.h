// An open TIFF file that closes itself and remembers the last error the TIFF library
// reported about it, so that a failure can be described to the caller and not only on the
// process-wide diagnostics stream. The process-wide error handler still sees every message.
// Its warnings are bounded (engine/tiff/tiff_open.h).
#pragma once

#include <tiffio.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vestrel {

// Upper bound for one packed row of a 1-bit image that the file utilities accept: 1 MiB is
// 8,388,608 pixels, far beyond any plate (a 1.5 m plate at 2400 dpi is about 18 KB per row).
// Larger values only come from damaged headers and would make the buffers below explode.
inline constexpr std::size_t kMaxRowBytes = std::size_t{1} << 20;
// Upper bound for one decoded strip or tile held in memory. A larger chunk is streamed
// row by row instead.
inline constexpr std::size_t kMaxChunkBytes = std::size_t{64} << 20;

class TiffFile {
  public:
    TiffFile() = default;
    ~TiffFile() = default;
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;

    // Opens `path` with a TIFF library mode ("rm" to read, "wm" to create); false when the
    // library refuses (see lastError()). Any file held before is closed first.
    bool Open(const std::string& path, const char* mode);
    // Writes what is pending (when open for writing) and closes. Safe to call twice.
    void Close() { tif_.reset(); }

    TIFF* get() const { return tif_.get(); }
    explicit operator bool() const { return tif_ != nullptr; }
    const std::string& path() const { return path_; }

    // The last error message the library reported for this file, "" when none.
    const std::string& lastError() const { return lastError_; }
    // "`what`", followed by " (<last library error>)" when the library said why.
    std::string Describe(const std::string& what) const;

  private:
    struct Closer {
        void operator()(TIFF* tif) const;
    };
    static int OnError(TIFF* tif, void* self, const char* module, const char* format,
                       std::va_list args);

    std::unique_ptr<TIFF, Closer> tif_;
    std::string path_;
    std::string lastError_;
};

// Rows of the current image, whole rows, 0 when the tag is missing.
std::uint32_t ImageWidth(TIFF* tif);
std::uint32_t ImageLength(TIFF* tif);

}  // namespace vestrel
