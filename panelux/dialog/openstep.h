// An optional watcher of the dialog opener's steps, for the benchmark: when
// set, it is called as each step ends. Unset it costs one test per step.
#pragma once

enum class PxOpenStep { Panel, Formats, Layout, Window, Controls, Show };

using PxOpenStepFn = void (*)(PxOpenStep step);
inline PxOpenStepFn px_openStepHook = nullptr;

inline void px_openStepDone(PxOpenStep step) {
    if (px_openStepHook) px_openStepHook(step);
}
