#pragma once
// How a render runs its effects: all of them on each frame in one decode and
// encode (the default), or one whole pass over the movie per effect, each
// reading the movie the previous one wrote.

namespace tintreel {

enum class PassMode { One, Each };

}  // namespace tintreel
