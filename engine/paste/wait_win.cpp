#include "engine/paste/wait.h"

#include <windows.h>

#include "framework/win/application_win.h"

namespace quillan {

void WaitWithMessages(uint32_t ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        win::Application().ProcessMessages();
        // Unsigned difference: right across the 49.7-day wrap of the tick count.
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return;
        // Sleep until a message arrives instead of spinning a core for the whole wait;
        // the short cap keeps a wake-up missed in between from costing more than 10 ms.
        DWORD rest = ms - elapsed;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, rest < 10 ? rest : 10, QS_ALLINPUT);
    }
}

}  // namespace quillan
