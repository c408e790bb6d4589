#pragma once
// The registry boundary forwarded to advapi32's wide calls, names converted from and to UTF-8.
#include "platform/registry_api.h"

namespace platform {

class Win32Registry : public RegistryApi {
 public:
  Win32Registry();
  long OpenKeyEx(Hkey base, const char* subKey, std::uint32_t access, Hkey* result) override;
  long CreateKeyEx(Hkey base, const char* subKey, std::uint32_t options, std::uint32_t access,
                   Hkey* result) override;
  long CloseKey(Hkey key) override;
  long DeleteKey(Hkey base, const char* subKey, std::uint32_t view) override;
  long DeleteValue(Hkey key, const char* name) override;
  long EnumKeyEx(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) override;
  long EnumValue(Hkey key, std::uint32_t index, std::uint32_t bufferLength, std::string* name) override;
  long EnumValueData(Hkey key, std::uint32_t index, std::string* name, std::uint32_t* type,
                     std::string* data) override;
  long QueryInfoKey(Hkey key, RawKeyInfo* info) override;
  long QueryValueEx(Hkey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
  long SetValueEx(Hkey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
  long LoadKey(Hkey root, const char* subKey, const char* file) override;
  long UnLoadKey(Hkey root, const char* subKey) override;
  long SaveKey(Hkey key, const char* file) override;
  bool DbcsEnabled() const override { return dbcs_; }
  bool IsNtFamily() const override { return nt_; }

 private:
  bool dbcs_;
  bool nt_;
};

}  // namespace platform
