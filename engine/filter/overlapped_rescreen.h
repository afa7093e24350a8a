// One band of the 1-bit rescreen with error rows (DiffusionType 2) on two threads: a worker
// averages the band's source rows and prepares its output rows (prepared_row.h) while the
// calling thread diffuses the rows prepared so far. The diffusion is one serial chain per row,
// so this is what a second core can take off it. The source rows are averaged only as far as
// the next row to prepare needs, so the diffusion starts a few rows into the band.
//
// The worker runs a bounded number of rows ahead; prepared rows are handed over in row order.
// While the band runs, the worker alone uses the generator and the source rows, the caller
// alone the error rows; both are the caller's again when the call returns.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/filter/filter_random.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/prepared_row.h"
#include "engine/filter/resample_geometry.h"
#include "engine/filter/resample_output.h"
#include "engine/filter/serial_worker.h"

namespace vestrel {

enum class OverlapResult {
    kDone,         // the band's h rows are written and the error rows carried on
    kFailed,       // `averageRows` returned false: the band is incomplete
    kUnavailable,  // no memory for the prepared rows or no thread: nothing was done
};

// The worker thread and the ring of prepared rows it hands over, kept from band to band of
// an image. Release them when the image is done: no thread outlives it.
class RescreenWorker {
  public:
    // A ring of at least `rows` rows of `width` columns and a running thread. False when
    // memory is short or no thread can be started.
    bool Ready(int rows, int width);
    void Release();

    PreparedRow& operator[](int k) { return rows_[static_cast<std::size_t>(k)]; }
    SerialWorker& thread() { return *thread_; }

  private:
    std::vector<PreparedRow> rows_;
    std::optional<SerialWorker> thread_;
};

// Rows of `width` columns the ring holds: enough for the worker to stay ahead through a short
// pause of either thread, within about 4 MiB of values and thresholds.
int PreparedRingRows(int width);

// Rescreens output rows y .. y + h - 1 into out[0 .. h-1] like RescreenBand. Before it
// prepares a row the worker calls averageRows(n), which must leave the first n rows of the
// source block averaged (n grows from call to call) and returns false when memory is short.
OverlapResult RescreenBandOverlapped(const std::function<bool(int)>& averageRows,
                                     const ResampleGeometry& g, const ColumnTables& tables,
                                     const SourceBlock& src, const RescreenParams& p,
                                     FilterRandom& random, ErrorRows& errors,
                                     RescreenWorker& worker, std::uint8_t* const* out,
                                     std::int64_t y, int h);

}  // namespace vestrel
