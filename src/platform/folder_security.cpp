// The access a working folder grants on Windows, written as the system's SDDL text.
#include "platform/platform.h"

namespace platform {

std::wstring PrivateFolderSddl(const std::wstring& userSid, bool elevatedOrSystem, bool integrityLevels) {
  // "P": protected, so none of the temporary directory's entries are inherited.
  // Each entry gives full control over the folder and all it will hold.
  std::wstring sddl = L"D:P(A;OICI;FA;;;" + userSid + L")";
  // An elevated engine, or one running as SYSTEM, is what administrators may also
  // reach; unelevated processes gain nothing they lacked.
  if (elevatedOrSystem) sddl += L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  // The user's unelevated processes share the user's SID: the high mandatory label
  // keeps them from writing (a version.dll, say) into what an elevated engine loads.
  if (elevatedOrSystem && integrityLevels) sddl += L"S:(ML;OICI;NW;;;HI)";
  return sddl;
}

}  // namespace platform
