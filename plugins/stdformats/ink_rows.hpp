// Four-component JPEGs hold the inks of print: cyan, magenta, yellow and black. The screen
// shows each channel as the light that ink and black leave over.
#pragma once

#include <cstdint>

namespace stdformats {

// Turns a row of w C, M, Y, K samples into w red, green, blue triplets in place (the
// triplets fill the first 3w bytes). `inverted`: the samples are 255 minus the ink, as
// files with an Adobe segment store them; otherwise they are the ink itself.
// Each channel is (255 - ink)(255 - black ink) / 255, rounded to nearest.
void InkRowToRgb(uint8_t* row, uint32_t w, bool inverted);

}  // namespace stdformats
