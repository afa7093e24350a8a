#include "service/image_description.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <memory>
#include <vector>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/unique_fd.h"
#include "service/name_fields.h"

namespace plexivar {
namespace {

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};
using OptionsPtr = std::unique_ptr<TIFFOpenOptions, OptionsFree>;

// Keeps the first message libtiff reports for this handle.
int CollectMessage(TIFF*, void* userData, const char* module, const char* format, va_list args) {
    auto* message = static_cast<std::string*>(userData);
    if (message->empty()) {
        std::string text = platform::FormatV(format, args);
        *message = (module && *module) ? std::string(module) + ": " + text : text;
    }
    return 1;  // handled: nothing reaches the process-wide handlers
}

int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// A description is text of a few hundred bytes; this bounds what a damaged file can make
// libtiff allocate.
constexpr tmsize_t kMaxTiffAllocation = 64 << 20;

double Correction(const std::string& field) {
    const double v = platform::ParseReal(field);
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace

bool ReadImageDescription(const std::string& path, std::string& description, std::string* error) {
    description.clear();
    // Opened here so that a FIFO or folder of that name is refused instead of waited on.
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (error)
            *error = platform::SystemErrorText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = "not a regular file";
        return false;
    }

    std::string message;
    OptionsPtr options(TIFFOpenOptionsAlloc());
    if (!options) {
        if (error)
            *error = "out of memory";
        return false;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), CollectMessage, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreMessage, nullptr);

    // "m": plain reads instead of a memory map, so a file truncated on a file server cannot
    // fault the process.
    TiffPtr tif(TIFFFdOpenExt(fd.get(), path.c_str(), "rm", options.get()));
    if (!tif) {
        if (error)
            *error = message.empty() ? "not a TIFF file" : message;
        return false;  // the descriptor is still ours and closes with `fd`
    }
    fd.release();  // closed by TIFFClose from now on

    char* text = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text != nullptr)
        description = text;
    return true;
}

DescriptionValues ParseImageDescription(std::string_view description, bool withCorrections) {
    DescriptionValues values;
    std::vector<std::string> fields;
    const int n = SplitFields(description, ";", fields);
    values.colour = fields[0];
    if (withCorrections && n >= 3) {
        values.correctionX = Correction(fields[1]);
        values.correctionY = Correction(fields[2]);
    }
    if (n >= 4)
        values.zone = fields[3];
    return values;
}

}  // namespace plexivar
