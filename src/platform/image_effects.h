// The image library seam: the picture effects the named effects are built
// from (blurs, tone and colour adjustments, artistic filters).
//
// Conventions shared by every operation here:
// - Pictures are 8-bit, 3 bytes (R, G, B) or 4 bytes (R, G, B, A) per
//   pixel, rows `stride` bytes apart; `bytesPerPixel` says which where an
//   operation takes both. RGB24-only operations say so.
// - `channels` is 15 (all four channels) or 7 (colour only: alpha is copied
//   from the source unchanged); on RGB24 pictures it is ignored.
// - Edges repeat the border pixel.
// - True on success; on false the output is unchanged. False for null
//   pointers, sizes below 1, strides too small for a row, and values that
//   are NaN. Nothing throws.
// - An operation "from src into dst" needs two distinct pictures of the same
//   size; "in place" ones change the picture they are given.
//
// Behind the operations:
//   GaussianBlurImage       cv::GaussianBlur
//   BoxBlurImage            cv::blur
//   MotionBlurImage kind 0  cv::filter2D with a line kernel; kinds 1, 2 our own
//   BilateralFilterImage    cv::bilateralFilter
//   ApplyLuts, gamma        cv::LUT
//   histogram family        cv::calcHist, cv::equalizeHist
//   GrayImage               cv::cvtColor
//   ThresholdImage          cv::cvtColor, cv::threshold
//   the rest                our own loops (stated beside each)
#pragma once

#include <cstdint>

namespace dro::platform::image {

// Gaussian blur from src into dst with sigma = radius pixels (clamped to
// the larger side), a kernel of 2 ceil(3 sigma) + 1 taps. A radius below
// 0.05 copies.
bool GaussianBlurImage(const uint8_t* src, int32_t width, int32_t height, int32_t bytesPerPixel,
                       int32_t stride, uint8_t* dst, int32_t dstStride, double radius,
                       int32_t channels) noexcept;

// Box blur from src into dst over a square of 2 radius + 1 pixels, mixed
// with the source: dst = src + strength x (box - src), strength 0..1
// (clamped). Radius 0 copies.
bool BoxBlurImage(const uint8_t* src, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, uint8_t* dst, int32_t dstStride, int32_t radius, double strength,
                  int32_t channels) noexcept;

// Motion blurs from src into dst, all four channels.
// kind 0, linear: the average along a line of `distance` pixels through
//   each pixel at `angle` degrees (0 is horizontal, counter-clockwise).
// kind 1, radial: the average along the arc about the picture's centre
//   through each pixel, spanning `distance` degrees.
// kind 2, zoom: the average along the ray from the centre through each
//   pixel, from the pixel inwards by `distance` percent of its distance.
// `samples` is the number of taps of kinds 1 and 2 (0: one per pixel of the
// longest path; at most 256); kind 0 ignores it. Distances below one pixel
// (or one degree, one percent) copy.
bool MotionBlurImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride,
                     uint8_t* dst, int32_t dstStride, int32_t bytesPerPixel, double angle,
                     double distance, int32_t samples, int32_t kind) noexcept;

// Edge-keeping smoothing (bilateral filter) of an RGB24 picture into dst:
// neighbours within `radius` pixels, weighed by their colour distance with
// sigma `colourSigma` grey levels and their place with sigma `radius`.
bool BilateralFilterImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride,
                          uint8_t* dst, int32_t dstStride, int32_t radius,
                          double colourSigma) noexcept;

// In place: each channel c of the picture takes tables[c][value]; a null
// table leaves its channel alone (with 3 bytes per pixel tables[3] is
// unused).
bool ApplyLuts(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
               int32_t stride, const uint8_t* const tables[4]) noexcept;

// In place, colour channels: v = 255 (v / 255)^(1 / gamma); gamma is
// clamped to 0.01..10 (1 keeps the picture, above 1 brightens).
bool AdjustGamma(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                 int32_t stride, double gamma) noexcept;

// In place, colour channels, both in -1..1 (clamped):
// v = (v - 127.5) x k + 127.5 + brightness x 255 with k = tan((contrast + 1)
// x pi / 4), rounded and clamped (contrast -1 flattens to grey, 0 keeps).
bool AdjustBrightnessContrast(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                              int32_t stride, double brightness, double contrast) noexcept;

// Histogram operations, in place on the colour channels.
// kind kBrightness: one map from the luma histogram, the same shift
//   (map[Y] - Y) added to R, G and B (hue kept);
// kind kPerChannel: each of R, G, B equalised or stretched on its own;
// kind kLightness: the lightness (max + min) / 2 histogram, every channel
//   scaled about the pixel's lightness (hue and saturation kept).
enum HistogramKind : int32_t { kBrightness = 0, kPerChannel = 1, kLightness = 2 };
// Equalisation: the cumulative histogram spread over low..high (0..255,
// swapped when reversed; cv::equalizeHist for per channel over 0..255).
bool EqualizeHistogram(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                       int32_t stride, int32_t low, int32_t high, HistogramKind kind) noexcept;
// Stretch: the values below the `lowClip` percent and above the `highClip`
// percent of the histogram (each 0..50) are cut off and the rest spread
// linearly over 0..255.
bool StretchHistogram(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, double lowClip, double highClip, HistogramKind kind) noexcept;

// Grey of a 3- or 4-byte picture into a one-byte plane (rows `planeStride`
// apart) by cv::cvtColor: Y = 0.299 R + 0.587 G + 0.114 B, rounded.
bool GrayImage(const uint8_t* src, int32_t width, int32_t height, int32_t bytesPerPixel,
               int32_t stride, uint8_t* plane, int32_t planeStride) noexcept;

// In place: colour channels become 255 where the luma lies in low..high
// (inclusive), else 0.
bool ThresholdImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                    int32_t stride, int32_t low, int32_t high) noexcept;

// In place on RGB24 (our own loops):
// Invert: v = 255 - v.
bool InvertImage(uint8_t* rgb, int32_t width, int32_t height, int32_t stride) noexcept;
// Posterize: each channel to `levels` evenly spaced values (0 means 4;
// clamped to 2..255): v = round(round(v (n - 1) / 255) x 255 / (n - 1)).
bool PosterizeImage(uint8_t* rgb, int32_t width, int32_t height, int32_t stride,
                    int32_t levels) noexcept;
// Solarize: values at or above `threshold` are inverted (0 means 128).
bool SolarizeImage(uint8_t* rgb, int32_t width, int32_t height, int32_t stride,
                   int32_t threshold) noexcept;

// In place, colour channels (our own): the chroma of each pixel, in YIQ,
// turned by `degrees` (-180..180); the luma stays.
bool AdjustTint(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                int32_t stride, int32_t degrees) noexcept;

// In place, colour channels (our own): the picture in two tones of one
// colour: luma Y below 128 runs from black to the colour, from 128 up from
// the colour to white. colour: red in the lowest byte, then green, blue.
bool DuotoneImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                  int32_t stride, uint32_t colour) noexcept;

// In place, colour channels (our own): red, green and blue shifts (-100..100
// each, clamped) for the shadows, midtones and highlights, each weighed by
// the pixel's luma band (shadows 1 at black falling to 0 at 128, highlights
// 0 at 127 rising to 1 at white, midtones 1 - |Y - 127.5| / 127.5), plus a
// brightness `shift` on every channel; one unit is two grey levels.
bool AdjustColorBalance(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                        int32_t stride, const int32_t shadows[3], const int32_t midtones[3],
                        const int32_t highlights[3], int32_t shift) noexcept;

// In place, colour channels (our own on a cv::GaussianBlur): local contrast.
// The luma blurred with `radius` (clamped to 0.5..the larger side) is
// inverted and laid over the picture in soft light, then mixed in by
// `amount` percent (0..100; 0 counts as 100).
bool ContrastMaskImage(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                       int32_t stride, int32_t amount, double radius) noexcept;

// Oil paint of an RGB24 picture into dst (our own): each pixel takes the
// mean colour of the most common intensity among the pixels of the square of
// 2 radius + 1 around it, intensities put in `levels` bins (2..255).
// Histograms per column, slid down the picture, and a window histogram slid
// along each row keep the cost per pixel independent of the radius (it
// grows with the number of bins).
// flags bit 0: ties go to the brighter bin (else the darker); bit 1: the
// colour is scaled to keep each pixel's own intensity.
bool OilPaintImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                   int32_t dstStride, int32_t radius, int32_t levels, int32_t flags) noexcept;

// Stipple of an RGB24 picture into dst (our own): cells of `size` pixels
// (2..the larger side), each drawn as a round dot whose area is the cell's
// darkness, on white paper (`keepPicture` nonzero: on the picture).
// mode 0: black dots; otherwise dots in the cell's mean colour.
bool StippleImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride, uint8_t* dst,
                  int32_t dstStride, int32_t size, int32_t mode, int32_t keepPicture) noexcept;

// Watercolour tint of an RGB24 picture into dst (our own): a 5 x 5 median
// (cv::medianBlur) softened towards the paper by `strength` (0..1, clamped):
// v = median + strength x (255 - median) / 2, saturation raised by half the
// strength. flags bit 0: no lightening (colour only); bit 1: keep luma.
bool WatercolorTintImage(const uint8_t* src, int32_t width, int32_t height, int32_t stride,
                         uint8_t* dst, int32_t dstStride, double strength, int32_t flags) noexcept;

// In place: Gaussian noise with a standard deviation of `amount` / 100 grey
// levels (0..25500, clamped), drawn from a generator seeded with `seed`, so
// a seed repeats its noise. `monochrome` nonzero: one value per pixel for
// all channels.
bool AddGaussianNoise(uint8_t* pixels, int32_t width, int32_t height, int32_t bytesPerPixel,
                      int32_t stride, int32_t amount, int32_t monochrome, uint32_t seed,
                      int32_t channels) noexcept;

// Scribble of an RGB24 picture into dst (our own): ink hatching on white
// paper, denser where the picture is darker: diagonal lines every 6 pixels
// from a darkness of 64, the crossing diagonal from 128 when `crossHatch`
// is nonzero, lines every 3 pixels from 192. `density` (0..100 percent,
// clamped) is the ink's strength; `style` is kept for the callers' record.
bool ScribbleImage(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst, int32_t style,
                   int32_t crossHatch, int32_t density) noexcept;

// Test hook: while on, every operation above fails (returns false before
// touching anything), and so do the drawing seam's sharpening and
// saturation and the effect-script library's run of a picture, so a test can see what a recipe does
// when its library fails.
void SetEffectFailuresForTesting(bool on) noexcept;
bool EffectFailuresForTesting() noexcept;

}  // namespace dro::platform::image
