#include "base/random.h"

#include "base/guard.h"

namespace dro {

void BuildRandomTable(RandomTable& table, int32_t modulus, int32_t length) noexcept {
  RandomState& random = Random();
  if (table.data && table.length == length && table.modulus == modulus &&
      table.seed == random.seed) {
    return;
  }
  Guard(Operation::kDeleteRandomTable, [&] { table.data.Reset(); });
  Guard(Operation::kMakeRandomTable, [&] {
    if (length < 0 || modulus <= 0) throw std::bad_alloc();
    random.generator.Seed(static_cast<uint32_t>(random.seed));
    Buffer<uint8_t> data = Buffer<uint8_t>::Make(static_cast<size_t>(length));
    for (int32_t i = 0; i < length; ++i) {
      data[i] = static_cast<uint8_t>(random.generator.Next() % modulus);
    }
    table.data = std::move(data);
    table.length = length;
    table.modulus = modulus;
    table.seed = random.seed;
  });
}

}  // namespace dro
