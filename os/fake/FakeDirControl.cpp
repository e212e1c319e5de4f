// Test-only control of the in-memory Windows' folders: folders that are links.
#include "os/fake/FakeDirControl.h"

#include "os/fake/FakeState.h"

namespace os::fake {

void MarkFolderAsLink(const std::string& path) {
  auto it = TheState().nodes.find(KeyOf(path));
  if (it != TheState().nodes.end() && it->second.folder)
    it->second.attributes |= 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
}

}  // namespace os::fake
