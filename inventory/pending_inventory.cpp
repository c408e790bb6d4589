// Placeholders until this area is built; each throws so that nothing pretends to work.
#include <stdexcept>

#include "app/form1.h"

void TForm1::CheckUninstall(const std::string&, int) { throw std::logic_error("not built yet"); }
void TForm1::CheckDriveType(const std::string&, int) { throw std::logic_error("not built yet"); }
bool TForm1::nFindSpace(const std::string&) { throw std::logic_error("not built yet"); }
bool TForm1::FindSpace(const std::string&) { throw std::logic_error("not built yet"); }
bool TForm1::nFileExists(const std::string&) { throw std::logic_error("not built yet"); }
int TForm1::GetNonChar(int, char, const std::string&, int) const { throw std::logic_error("not built yet"); }
std::string TForm1::RemoveSlash(const std::string&) const { throw std::logic_error("not built yet"); }
std::uintptr_t TForm1::Disablex64Redirect() { throw std::logic_error("not built yet"); }
void TForm1::Revertx64Redirect(std::uintptr_t) { throw std::logic_error("not built yet"); }
void TForm1::Button5Click() { throw std::logic_error("not built yet"); }
void TForm1::Button3Click() { throw std::logic_error("not built yet"); }
void TForm1::EditChange() { throw std::logic_error("not built yet"); }
bool TForm1::AddressExists(const std::string&) { throw std::logic_error("not built yet"); }
