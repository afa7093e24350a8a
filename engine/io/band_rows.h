// The rows one filter band writes into: a block of `rows` rows of `width` bytes (one byte
// per pixel) and the row-pointer table that the band's descriptor hands the filter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace vestrel {

class BandRows {
public:
    BandRows() = default;
    BandRows(const BandRows&) = delete;  // the table points into the object itself
    BandRows& operator=(const BandRows&) = delete;

    // Allocates the rows; false when memory is short.
    bool Allocate(std::size_t rows, std::size_t width) {
        try {
            data_.assign(rows * width, 0);
            pointers_.resize(rows);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (std::size_t i = 0; i < rows; ++i) pointers_[i] = data_.data() + i * width;
        tables_[0] = pointers_.data();
        return true;
    }

    // One row-pointer table per separation (one separation), for AreaDesc::rowTables.
    std::uint8_t*** tables() { return tables_; }
    const std::vector<std::uint8_t*>& rows() const { return pointers_; }

private:
    std::vector<std::uint8_t> data_;
    std::vector<std::uint8_t*> pointers_;
    std::uint8_t** tables_[1] = {nullptr};
};

}  // namespace vestrel
