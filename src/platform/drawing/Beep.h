#pragma once
// The error beep. Controls call Beep::play(); it sounds through the desktop
// unless an observer is installed, which tests use to count beeps.

#include <functional>

namespace Beep {

using Observer = std::function<void()>;

/// Sounds the beep, or calls the installed observer instead.
void play();

/// Installs an observer (an empty one restores the real beep) and returns
/// the one installed before, so a test can put it back.
Observer setObserver(Observer observer);

} // namespace Beep
