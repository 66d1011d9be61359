// The calling thread's stack.
#pragma once

namespace quillan::win {

// Gives the system back the pages of the calling thread's stack that lie well below what it uses
// now (all but the 64 KB under the current frame): a thread that waits for most of its life keeps
// no pages it touched once, or that were made resident for it. The pages stay committed and come
// back, zeroed, when the stack grows into them again; the guard page and the merely reserved part
// are left as they are.
void ReleaseUnusedStack();

}  // namespace quillan::win
