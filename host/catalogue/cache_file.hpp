// The catalogue cache file (piclist.dat): the whole catalogue with each folder's flags
// and filtered pictures, read at start-up instead of scanning.
//
// Layout (little-endian, strings in the program's code page, no padding): "PR", a 32-bit
// version, then one record per entry in catalogue order:
//   L (16 bits: length of the head that follows = path length + 18), the path, 0x00,
//   flags (bit 0 AutoRefresh, bit 1 IncludeSubdirs), P (picture count), T (length of both
//   name blocks), F (filtered count), B (length of the filtered block), all 32 bits;
//   then the pictures block (T - B bytes) and the filtered block (B bytes), each name
//   followed by 0x00.
// A 16-bit 0 or the end of the file ends the record list. Older layouts still read:
// below 0x02020000, P is 16 bits and T 32 bits with no filtered block; 0x0202xxxx, P and T
// are 32 bits with no filtered block; a file not starting with "PR" is the oldest layout
// with those two bytes skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/pic_list.hpp"

namespace kelv {

inline constexpr uint32_t kCatalogueFileVersion = 0x02030000;
// Larger files are read up to this size only (their later entries are dropped).
inline constexpr size_t kCatalogueFileMaxBytes = size_t{256} << 20;

// The file's bytes for the catalogue.
std::vector<uint8_t> EncodeCatalogue(const TPicList& list);

// Appends the entries stored in `data` to list. A damaged file gives the entries read so
// far (the last one possibly with partial lists). Each entry read satisfies the
// catalogue's rules: its Filtered names are sorted, unique, and not among its Pictures.
// With `legacyNames`, a path or name whose bytes are not UTF-8 while the program's strings
// are (a file written by a run under the system's legacy code page) is converted from
// that code page through it, so that an upgrade loses no picture.
void DecodeCatalogue(const uint8_t* data, size_t size, TPicList& list,
                     const CatalogueFileSystem* legacyNames = nullptr);
// The same on the file's bytes, which the entries' picture lists keep and read their
// names from until they are needed as strings (see TPathList); a block holding a legacy
// name is converted and kept as strings instead.
void DecodeCatalogue(std::shared_ptr<const std::vector<uint8_t>> file, TPicList& list,
                     const CatalogueFileSystem* legacyNames = nullptr);

// Writes the whole catalogue to path, creating its folder when missing. The old file is
// replaced only by a completely written new one. Raises EInOutError "Unable to write file
// "path", Error = n" after three attempts. A successful save removes the temporary files
// that earlier saves cut short left in the folder.
void SaveCatalogue(const TPicList& list, const std::string& path, CatalogueFileSystem& fs = SystemFileSystem());

// Appends the entries of the file at path to list; true when the file could be opened.
// Raises EInOutError when it cannot be opened after the retries.
bool LoadCatalogue(TPicList& list, const std::string& path, CatalogueFileSystem& fs = SystemFileSystem());

// The file's last-write time; 0 when it cannot be opened or read.
uint64_t CacheFileTime(const std::string& path, CatalogueFileSystem& fs = SystemFileSystem());

}  // namespace kelv
