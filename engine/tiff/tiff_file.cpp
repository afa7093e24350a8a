#include "engine/tiff/tiff_file.h"

#include <cstdio>

#include "engine/tiff/tiff_open.h"

namespace vestrel {

namespace {

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

bool TiffFile::Open(const std::string& path, const char* mode) {
    Close();
    path_ = path;
    lastError_.clear();
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) {
        lastError_ = "out of memory";
        return false;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &TiffFile::OnError, this);
    tif_.reset(OpenTiff(path, mode, options.get()));
    return tif_ != nullptr;
}

void TiffFile::Closer::operator()(TIFF* tif) const {
    CloseTiff(tif);
}

std::string TiffFile::Describe(const std::string& what) const {
    if (lastError_.empty())
        return what;
    return what + " (" + lastError_ + ")";
}

int TiffFile::OnError(TIFF*, void* self, const char* module, const char* format,
                      std::va_list args) {
    // Format from a copy: the library may hand the same list to the process-wide handler.
    char text[512];
    std::va_list copy;
    va_copy(copy, args);
    std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    auto* file = static_cast<TiffFile*>(self);
    file->lastError_ = module != nullptr && *module != '\0' ? std::string(module) + ": " + text
                                                            : std::string(text);
    // 0: let the process-wide handler report the message as well.
    return 0;
}

std::uint32_t ImageWidth(TIFF* tif) {
    std::uint32_t value = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &value);
    return value;
}

std::uint32_t ImageLength(TIFF* tif) {
    std::uint32_t value = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &value);
    return value;
}

}  // namespace vestrel
