// Waiting on the main thread while the application keeps handling its messages.
#pragma once

#include <cstdint>

namespace quillan {

// Returns once ms milliseconds (GetTickCount, wrap-safe) have passed; the
// application's queued messages are processed at least once, and all through the wait.
void WaitWithMessages(uint32_t ms);

}  // namespace quillan
