#include "platform/windows/com_port_list.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace dravel::platform {

namespace {

// "COM10" after "COM9"; names without a number keep their text order, after the numbered.
long port_number(const std::string& port) {
  if (port.size() <= 3 || _strnicmp(port.c_str(), "COM", 3) != 0) return 1L << 30;
  return std::strtol(port.c_str() + 3, nullptr, 10);
}

}  // namespace

std::vector<std::string> com_port_lines(std::vector<ComPortEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    long na = port_number(a.port), nb = port_number(b.port);
    return na != nb ? na < nb : a.port < b.port;
  });
  std::vector<std::string> lines;
  for (const ComPortEntry& e : entries) {
    if (e.port.empty()) continue;
    lines.push_back(e.device.empty() ? e.port : e.port + " (" + e.device + ")");
  }
  return lines;
}

std::vector<ComPortEntry> read_serialcomm() {
  std::vector<ComPortEntry> entries;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return entries;
  for (DWORD index = 0;; ++index) {
    char name[256];
    BYTE data[256];
    DWORD name_size = sizeof name;
    DWORD data_size = sizeof data - 1;
    DWORD type = 0;
    LONG r = RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    // A value too long for the buffers is no COM port name; skip it.
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    data[data_size] = 0;
    std::string port(reinterpret_cast<const char*>(data));
    entries.push_back({std::string(name, name_size), port.c_str()});
  }
  RegCloseKey(key);
  return entries;
}

}  // namespace dravel::platform
