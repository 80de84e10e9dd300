// The file type list of the Add picture dialog, made from the input modules' formats.
#pragma once

#include <string>
#include <vector>

namespace kelv::ui {

struct PictureFormat {
  std::string extension;    // ".jpg"
  std::string description;  // "JPEG"
};

// "All formats" with every pattern, then one entry per run of consecutive formats with
// the same description ("JPEG (*.jpg;*.jpeg)"), each as display text and pattern list
// separated by NUL; a double NUL ends it. "*.bmp" is taken the first time only.
std::string BuildOpenFileFilter(const std::vector<PictureFormat>& formats);

// The files an open-file dialog with multiple selection returned in its buffer: the one
// full path, or the folder followed by the names within it.
std::vector<std::string> SplitOpenFileResult(const std::string& buffer);

}  // namespace kelv::ui
