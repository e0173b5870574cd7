// The user documentation of the named effects (docs/effects.md), rendered
// from the engine's effect table through DRO_XEffectInfo and
// DRO_XEffectParam, so the page and the table cannot drift apart: the
// drovine host writes it (`drovine effects --markdown`) and a test compares
// the file with it.
#pragma once

#include <string>

namespace hostkit {

std::string EffectsMarkdown();

}  // namespace hostkit
