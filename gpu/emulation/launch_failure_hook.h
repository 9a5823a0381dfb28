// Test-only: makes one of the plug-in's emulated launcher calls fail, so that
// a render's handling of a device failure can be held without a GPU.
#pragma once

#include <driver_types.h>

namespace prismora::emulated {

// The nth launcher call from now on this thread (1 = the next one) returns code
// without running, with that code's error text recorded as a real failure
// would. 0 disarms. Calls on other threads are not counted.
void FailNthLaunch(int nth, cudaError_t code);

} // namespace prismora::emulated
