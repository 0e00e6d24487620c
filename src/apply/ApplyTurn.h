#pragma once

#include "platform/Computer.h"
#include "profile/ConnectionType.h"

#include <functional>
#include <memory>

namespace hostwend {

// One apply or undo at a time on this computer: two would interleave their
// writes and leave a mixture of two servers behind. Once its turn has come, a
// console program's run goes to its last write: Ctrl+C or a closed console
// waits for it. The hold is declared last so that it is released first.
struct ApplyTurn {
    ApplyLockResult lock;
    std::unique_ptr<InterruptionHold> hold;
};

[[nodiscard]] inline ApplyTurn TakeTurn(Computer& computer, ApplyProgram program, const std::function<void()>& waiting)
{
    ApplyTurn turn{AwaitApplyLock(computer, waiting), nullptr};
    if (turn.lock.state == LockState::Acquired && program == ApplyProgram::Console)
        turn.hold = computer.HoldInterruptions();
    return turn;
}

} // namespace hostwend
