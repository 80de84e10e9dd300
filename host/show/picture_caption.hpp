// The file-name caption of a picture on a composed screen.
#pragma once

#include <cstdint>
#include <string>

namespace kelv {

class TBitmap;

// The caption of global picture `index` at "TextPos" in the caption font and colour, when
// "TextFileName" asks for captions and the run is full screen; with "TextDate" it adds
// `dateTaken` (EXIF date text from the decoder, empty when the picture has none). Each
// caption drawn goes to the test trace as "caption=<text>".
void DrawCaption(TBitmap& target, int32_t index, bool fullScreen, const std::string& dateTaken = {});

// The caption's text for the picture at `path` and its date taken, by the settings.
std::string CaptionFor(const std::string& path, const std::string& dateTaken);

}  // namespace kelv
