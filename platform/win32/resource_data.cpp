// RCDATA resources of the executable, through the system's resource functions.
#include "platform/resource_data.h"

#include <windows.h>

namespace platform {

std::span<const uint8_t> resourceData(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return {};
  const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
  const DWORD size = SizeofResource(module, info);
  if (!bytes || size == 0) return {};
  return {bytes, static_cast<size_t>(size)};
}

}  // namespace platform
