// Test-only control of the in-memory Windows' folders: folders that are links (junctions).
// The products never include this header.
#pragma once
#include <string>

namespace os::fake {

// Marks an existing folder as a link to somewhere else (it reports the
// reparse-point attribute); what is inside it stands for the link's target.
void MarkFolderAsLink(const std::string& path);

}  // namespace os::fake
