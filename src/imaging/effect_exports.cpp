// Exports of the named effects and their table.
#include "drovine.h"
#include "imaging/effects.h"

namespace im = dro::imaging;

int32_t DRO_CALL DRO_IPLImageProcess(int32_t, const char* name, int32_t value, int32_t p1,
                                     int32_t p2, int32_t p3, int32_t p4, int32_t p5, int32_t p6,
                                     int32_t mode, int32_t opt1, int32_t opt2, int32_t opt3,
                                     int32_t opt4, int32_t opt5, int32_t opt6, int32_t opt7,
                                     int32_t red, int32_t green, int32_t blue, const char* path) {
  return im::ImageProcess({name,
                           value,
                           {p1, p2, p3, p4, p5, p6},
                           mode,
                           opt1,
                           {opt2, opt3, opt4, opt5, opt6, opt7},
                           red,
                           green,
                           blue,
                           path});
}

int32_t DRO_CALL DRO_XEffectInfo(int32_t index, const char** name, const char** family,
                                 const char** summary) {
  return im::DescribeEffect(index, name, family, summary);
}

int32_t DRO_CALL DRO_XEffectParam(int32_t index, int32_t k, const char** arg, int32_t* min,
                                  int32_t* max, int32_t* defaultValue, const char** meaning) {
  return im::DescribeEffectParam(index, k, arg, min, max, defaultValue, meaning);
}
