#include "catalogue/catalogue_startup.hpp"

#include "catalogue/cache_file.hpp"
#include "settings/settings.hpp"

namespace kelv {

int32_t LoadStartupCatalogue(TPicList& list, FolderScanner& scanner, const std::string& cacheFile,
                             std::vector<std::string>& folderRoots, const std::string& installFolder,
                             RegistryStore& registry) {
  CatalogueFileSystem& fs = scanner.FileSystem();
  if (!cacheFile.empty() && fs.FileExists(cacheFile)) {
    list.CacheTime = CacheFileTime(cacheFile, fs);
    LoadCatalogue(list, cacheFile, fs);
    RefreshAutoFolders(list, scanner);
  } else {
    std::string folder = FolderOfPath(cacheFile);
    if (!folder.empty() && !fs.FolderExists(folder)) fs.CreateFolder(folder);
    BuildCatalogue(list, scanner, folderRoots, installFolder, registry);
  }
  if (list.Count() == 0) list.AddFolder("Root");
  return list.PictureCount();
}

int32_t LoadStartupCatalogue(Settings& settings, RegistryStore& registry) {
  return LoadStartupCatalogue(TheCatalogue(), TheScanner(), settings.CacheFile, settings.FolderRoots,
                              settings.InstallFolder, registry);
}

bool SaveCatalogueAfterRun(const TPicList& list, const std::string& cacheFile, bool dialogPreview, bool filterOn,
                           CatalogueFileSystem& fs) {
  if (dialogPreview || !filterOn || !list.Modified) return false;
  if (CacheFileTime(cacheFile, fs) != list.CacheTime) return false;
  SaveCatalogue(list, cacheFile, fs);
  return true;
}

}  // namespace kelv
