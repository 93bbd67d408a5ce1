// How a thread competes for the processor.
#pragma once

namespace platform {

// The calling thread becomes background work (SCHED_BATCH, its nice value kept): woken,
// it waits for the processor instead of taking it from the thread that woke it. False
// when the system refuses; the thread then keeps its policy.
bool makeCurrentThreadBackground();
bool currentThreadIsBackground();

}  // namespace platform
