// The running system's lead bytes, read from the ANSI code page.
#include "sys/TextBytes.h"

#include <vector>

#include "os/OsSystem.h"

void LoadSystemLeadBytes() {
  LeadBytes table;
  std::vector<os::ByteRange> ranges;
  // A failed query leaves the single-byte rules, which are right for most systems.
  if (os::GetAnsiLeadByteRanges(ranges))
    for (const os::ByteRange& r : ranges) table.AddRange(r.first, r.last);
  ProcessLeadBytes() = table;
}
