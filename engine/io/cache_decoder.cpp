#include "engine/io/cache_decoder.h"

#include <string>

#include "engine/io/source_reader.h"
#include "engine/io/source_rows.h"

namespace vestrel {
namespace {
// Rows decoded between two wake-ups of a waiting caller: waking for every row would cost
// more than it saves.
constexpr std::uint32_t kPublishEvery = 32;
}  // namespace

void CacheDecoder::Start(SourceReader& reader) {
    Stop();
    {
        std::lock_guard lock(mutex_);
        decoded_ = 0;
        failed_ = false;
    }
    thread_ = std::jthread([this, &reader](std::stop_token stop) { Run(stop, &reader); });
}

void CacheDecoder::Run(std::stop_token stop, SourceReader* r) {
    std::uint32_t row = 0;
    bool ok = true;
    try {
        for (; row < r->inH && !stop.stop_requested(); ++row) {
            std::uint8_t* slot = r->readBuffer.data() + std::size_t{row} * r->inRowBytes;
            if (!r->input || !r->readScanline(*r, slot, row)) {
                // The input is closed by the caller once this thread has ended.
                r->error = r->input ? ReadErrorText(*r, row) : "input closed";
                ok = false;
                break;
            }
            NormaliseRow(*r, slot, row, true);
            if ((row + 1) % kPublishEvery == 0 || row + 1 == r->inH) {
                std::lock_guard lock(mutex_);
                decoded_ = row + 1;
                ready_.notify_all();
            }
        }
    } catch (...) {
        // Nothing may leave the thread; a failure is reported to the waiting caller.
        r->error = "read error at input row " + std::to_string(row);
        ok = false;
    }
    std::lock_guard lock(mutex_);
    if (!ok) failed_ = true;
    ready_.notify_all();
}

bool CacheDecoder::WaitForRows(std::uint32_t rows) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return decoded_ >= rows || failed_ || !thread_.joinable(); });
    return decoded_ >= rows;
}

void CacheDecoder::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

}  // namespace vestrel
