// The switch table: the command line's switches, lower-cased, with their values.
#pragma once

#include <map>
#include <string>

#include "framework/afxwin.h"

namespace handoff {

// Collects every switch of the command line with the one plain argument that
// follows it. Names are lower-cased; values keep their case. Rejects nothing.
class LauncherCommandLineInfo : public CCommandLineInfo {
 public:
  void ParseParam(const wchar_t* param, bool isFlag, bool isLast) override;

  // True when the switch was given, whatever its value.
  bool HasSwitch(const std::wstring& name) const;
  // The switch's value: the argument that followed it, "1" when none did, empty
  // when the switch was not given.
  std::wstring GetSwitchValue(const std::wstring& name) const;

  const std::map<std::wstring, std::wstring>& Switches() const { return switches_; }

 private:
  std::map<std::wstring, std::wstring> switches_;
  std::wstring pendingSwitch_;  // the last switch, while no value has followed it
};

}  // namespace handoff
