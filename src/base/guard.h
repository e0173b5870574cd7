// The exception guard shared by every guarded export.
//
// A guarded operation runs its body inside Guard(); anything thrown (an
// allocation failure included) is recorded as "<operation> Excpt" in the last
// error and the export returns its failure value. Work done before the throw
// stays: the host learns of the failure only from the last error.
#pragma once

#include <type_traits>
#include <utility>

#include "base/failure_texts.h"

namespace dro {

// Records "<name> Excpt" (base/failure_texts.h) as the last error, and
// reports it with its cause to the diagnostics (base/diagnostics.h): the
// given cause, else that of the exception being handled.
void RecordFailure(Operation operation, const char* cause = nullptr) noexcept;

template <class Body>
void Guard(Operation operation, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    RecordFailure(operation);
  }
}

template <class Result, class Body>
Result Guard(Operation operation, Result failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    RecordFailure(operation);
    return failure;
  }
}

}  // namespace dro
