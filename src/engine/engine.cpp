#include "engine/engine.h"

namespace dro {

Engine& engine() noexcept {
  // Constructed on first use and deliberately never destroyed: hosts may call
  // into the library from their own static destructors.
  static Engine* const instance = new Engine();
  return *instance;
}

}  // namespace dro
