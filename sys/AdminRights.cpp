// Administrator rights: membership of the Administrators group in the access token.
#include "sys/AdminRights.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "os/Handle.h"
#include "os/OsSystem.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"

namespace {

using UniqueToken = os::Unique<os::Handle, os::kNoHandle, os::CloseToken>;

// S-1-5-32-544: revision 1, two sub-authorities, the NT authority (0,0,0,0,0,5),
// then SECURITY_BUILTIN_DOMAIN_RID (32) and DOMAIN_ALIAS_RID_ADMINS (544), little-endian.
os::Sid AdministratorsGroup() { return {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0}; }

// The thread's token when it impersonates, else the process's; empty when neither opens.
UniqueToken OpenQueryToken() {
  os::Handle token = os::kNoHandle;
  if (os::OpenThreadToken(true, token)) return UniqueToken(token);
  if (os::GetLastError() != os::kErrorNoToken) return UniqueToken();
  if (os::OpenProcessToken(token)) return UniqueToken(token);
  return UniqueToken();
}

}  // namespace

bool IsAdministrator() {
  if (!IsNtFamily(GetWinVersion())) return true;
  UniqueToken token = OpenQueryToken();
  if (!token) return false;
  const os::Sid administrators = AdministratorsGroup();

  std::uint32_t needed = 0;
  if (os::GetTokenGroupsSize(token.get(), needed) || os::GetLastError() != os::kErrorInsufficientBuffer)
    throw SystemError("Could not read the size of the access token's group list", os::GetLastError());
  std::vector<os::Sid> groups;
  if (!os::GetTokenGroups(token.get(), needed, groups))
    throw SystemError("Could not read the access token's group list", os::GetLastError());

  // Membership as listed is enough; the group attributes (deny-only, ...) are not consulted.
  return std::find(groups.begin(), groups.end(), administrators) != groups.end();
}
