// Where pictures go: the examples of the composition's crop and placement rules.
#include <gtest/gtest.h>

#include "imaging/resample_filters.hpp"
#include "imaging/resample_placement.hpp"

namespace kelv {
namespace {

double Never() {
  ADD_FAILURE() << "random number drawn";
  return 0.0;
}
double Quarter() { return 0.25; }

TEST(PlacePicture, CroppedPhotoFillsTheScreen) {
  // r = 1.875 / 1.667 = 1.125: cropped to 2667 x 2000 at (166, 0), scaled without bars.
  const PicturePlacement p =
      PlacePicture(1600, 1200, {true, false, false, true, ResizeBest}, 3000, 2000, Never);
  EXPECT_EQ(p.windowX, 166);
  EXPECT_EQ(p.windowY, 0);
  EXPECT_EQ(p.windowW, 2667);
  EXPECT_EQ(p.windowH, 2000);
  EXPECT_TRUE(p.scaled);
  EXPECT_TRUE(p.resample);
  EXPECT_EQ(p.filter, FilterLanczos3);
  EXPECT_EQ(p.destX, 0);
  EXPECT_EQ(p.destY, 0);
  EXPECT_EQ(p.destW, 1600);
  EXPECT_EQ(p.destH, 1200);
}

TEST(PlacePicture, UncroppedPhotoGetsBars) {
  const PicturePlacement p =
      PlacePicture(1600, 1200, {true, false, false, false, ResizeGood}, 3000, 2000, Never);
  EXPECT_EQ(p.windowW, 3000);
  EXPECT_EQ(p.destX, 0);
  EXPECT_EQ(p.destY, 66);
  EXPECT_EQ(p.destW, 1600);
  EXPECT_EQ(p.destH, 1067);
  EXPECT_EQ(p.filter, FilterHermite);
}

TEST(PlacePicture, PanoramaIsNeverCropped) {
  const PicturePlacement p =
      PlacePicture(1600, 1200, {true, true, false, true, ResizeGood}, 1000, 400, Never);
  EXPECT_EQ(p.windowW, 1000);
  EXPECT_EQ(p.windowH, 400);
  EXPECT_TRUE(p.scaled);
  EXPECT_EQ(p.destX, 0);
  EXPECT_EQ(p.destY, 280);
  EXPECT_EQ(p.destW, 1600);
  EXPECT_EQ(p.destH, 640);
}

TEST(PlacePicture, SmallPictures) {
  // Enlarge off: unscaled in the centre; with RandomPos at Round(R * room).
  PicturePlacement p =
      PlacePicture(1600, 1200, {true, false, false, false, ResizeBest}, 400, 300, Never);
  EXPECT_FALSE(p.scaled);
  EXPECT_EQ(p.destX, 600);
  EXPECT_EQ(p.destY, 450);
  p = PlacePicture(1600, 1200, {true, false, true, false, ResizeBest}, 400, 300, Quarter);
  EXPECT_EQ(p.destX, 300);
  EXPECT_EQ(p.destY, 225);
  // Enlarge on, Best: resampled to the whole screen with Lanczos3.
  p = PlacePicture(1600, 1200, {true, true, false, false, ResizeBest}, 400, 300, Never);
  EXPECT_TRUE(p.scaled);
  EXPECT_TRUE(p.resample);
  EXPECT_EQ(p.filter, FilterLanczos3);
  EXPECT_EQ(p.destW, 1600);
  EXPECT_EQ(p.destH, 1200);
  // Under 50 pixels both ways and enlarged: the plain stretch.
  p = PlacePicture(1600, 1200, {true, true, false, false, ResizeGood}, 40, 30, Never);
  EXPECT_TRUE(p.scaled);
  EXPECT_FALSE(p.resample);
  // Quick quality never resamples.
  p = PlacePicture(1600, 1200, {true, false, false, false, ResizeQuick}, 3000, 2000, Never);
  EXPECT_TRUE(p.scaled);
  EXPECT_FALSE(p.resample);
}

TEST(PlacePicture, WithoutShrinkLargePicturesShowAPart) {
  // Wider only: the first columns, centred vertically.
  PicturePlacement p =
      PlacePicture(100, 80, {false, false, false, false, ResizeGood}, 300, 40, Never);
  EXPECT_FALSE(p.scaled);
  EXPECT_TRUE(p.overflow);
  EXPECT_EQ(p.copyX, 0);
  EXPECT_EQ(p.destW, 100);
  EXPECT_EQ(p.destY, 20);
  // Larger both ways: the centre part, or a random part.
  p = PlacePicture(100, 80, {false, false, false, false, ResizeGood}, 300, 200, Never);
  EXPECT_EQ(p.copyX, 100);
  EXPECT_EQ(p.copyY, 60);
  EXPECT_EQ(p.destW, 100);
  EXPECT_EQ(p.destH, 80);
  p = PlacePicture(100, 80, {false, false, true, false, ResizeGood}, 300, 200, Quarter);
  EXPECT_EQ(p.copyX, 50);
  EXPECT_EQ(p.copyY, 30);
}

TEST(PlacePicture, ExactFit) {
  const PicturePlacement p =
      PlacePicture(640, 480, {true, true, true, true, ResizeBest}, 640, 480, Never);
  EXPECT_TRUE(p.exactFit);
  EXPECT_FALSE(p.scaled);
  EXPECT_EQ(p.destX, 0);
  EXPECT_EQ(p.destW, 640);
}

}  // namespace
}  // namespace kelv
