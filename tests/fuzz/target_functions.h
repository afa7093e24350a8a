// The functions behind the fuzz targets (see fuzz_targets.h for what each promises).
#pragma once

#include <cstddef>
#include <cstdint>

namespace plexivar::fuzz {

// Texts (text_targets.cpp).
void FuzzIniFile(const std::uint8_t* data, std::size_t size);
void FuzzInformationFile(const std::uint8_t* data, std::size_t size);
void FuzzImageDescription(const std::uint8_t* data, std::size_t size);
void FuzzNamePattern(const std::uint8_t* data, std::size_t size);
void FuzzNameRewrite(const std::uint8_t* data, std::size_t size);
void FuzzMountTable(const std::uint8_t* data, std::size_t size);
void FuzzIcmpReply(const std::uint8_t* data, std::size_t size);

// Plates (plate_targets.cpp): parameter bytes, then a TIFF file.
void FuzzResamleTIFF(const std::uint8_t* data, std::size_t size);
void FuzzSimpleResamleTIFF(const std::uint8_t* data, std::size_t size);
void FuzzDotGainTIFF(const std::uint8_t* data, std::size_t size);
void FuzzBackgroundMerge(const std::uint8_t* data, std::size_t size);
void FuzzRowReader(const std::uint8_t* data, std::size_t size);

}  // namespace plexivar::fuzz
