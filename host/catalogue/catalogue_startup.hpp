// The catalogue's part of the settings load and of the end of a saver run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue_fs.hpp"
#include "catalogue/folder_scan.hpp"
#include "catalogue/pic_list.hpp"

namespace kelv {

class RegistryStore;
struct Settings;

// Start-up: when the cache file exists, records its time as CacheTime, loads it and
// rescans the AutoRefresh folders; otherwise creates the file's folder and builds the
// catalogue from the folder list (which may gain the default folders). An empty
// catalogue then gets its "Root" entry. Returns the total picture count.
int32_t LoadStartupCatalogue(TPicList& list, FolderScanner& scanner, const std::string& cacheFile,
                             std::vector<std::string>& folderRoots, const std::string& installFolder,
                             RegistryStore& registry);

// The same for the process-wide catalogue and scanner, from the loaded settings
// (CacheFile, FolderRoots, InstallFolder).
int32_t LoadStartupCatalogue(Settings& settings, RegistryStore& registry);

// The end of a saver run: writes the catalogue back only when the run was not a preview
// inside the settings dialog, the size filter is on, the catalogue was modified, and no
// other process has rewritten the file since it was loaded. True when it was written.
bool SaveCatalogueAfterRun(const TPicList& list, const std::string& cacheFile, bool dialogPreview, bool filterOn,
                           CatalogueFileSystem& fs = SystemFileSystem());

}  // namespace kelv
