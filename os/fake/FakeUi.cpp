// The in-memory Windows' user interface: windows as records, a FIFO message
// queue, scripted message-box answers and the Ctrl key.
#include "os/OsUi.h"
#include "os/fake/FakeState.h"

namespace os::fake {
void ResetUi() {}
}  // namespace os::fake
