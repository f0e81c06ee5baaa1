#include "cli/MovieCommand.h"

#include <iostream>

namespace tintreel {

int runMovie(const CliOptions&, const EffectSettings&) {
    std::cerr << "Could not generate preview." << std::endl;
    return kExitRenderFailed;
}

int runStillFrame(const CliOptions&, const EffectSettings&) { return kExitRenderFailed; }

}  // namespace tintreel
