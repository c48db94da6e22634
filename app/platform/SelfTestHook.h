// Named points inside long operations (a save) where the self-test can stop
// or kill the process, to prove that an interruption anywhere loses nothing.
// Inert unless the environment asks for it:
//   QUILLET_SELFTEST_KILL_AT=<point>   the process raises SIGKILL on reaching it;
//   QUILLET_SELFTEST_PAUSE_AT=<point> with QUILLET_SELFTEST_PAUSE_FILE=<path>:
//     on reaching the point the process writes its name to <path> and waits
//     until that file is removed (the harness's release), at most pauseLimit.
// The variables are read at every point, so a forked child can set them.
#pragma once

#include <chrono>
#include <string_view>

namespace quillet::SelfTestHook {

inline constexpr char killVariable[] = "QUILLET_SELFTEST_KILL_AT";
inline constexpr char pauseVariable[] = "QUILLET_SELFTEST_PAUSE_AT";
inline constexpr char pauseFileVariable[] = "QUILLET_SELFTEST_PAUSE_FILE";
// A paused process goes on by itself after this long, so a lost harness
// never leaves it hanging.
inline constexpr std::chrono::seconds pauseLimit{300};

// Kills or pauses the process when the environment names `point`.
void reach(std::string_view point);

}  // namespace quillet::SelfTestHook
