// Placeholders until this area is built; each throws so that nothing pretends to work.
#include <stdexcept>

#include "app/form1.h"

void TForm1::WriteReg(const std::string&) { throw std::logic_error("not built yet"); }
std::string TForm1::ConvertSt(const std::string&) const { throw std::logic_error("not built yet"); }
void TForm1::FlushUndo() { throw std::logic_error("not built yet"); }
void TForm1::RemoveRegistryKey(platform::Hkey, const std::string&) { throw std::logic_error("not built yet"); }
void TForm1::RemoveRegistryValue(platform::Hkey, const std::string&, const std::string&) { throw std::logic_error("not built yet"); }
void TForm1::Button2Click() { throw std::logic_error("not built yet"); }
void TForm1::Button8Click() { throw std::logic_error("not built yet"); }
void TForm1::Button15Click() { throw std::logic_error("not built yet"); }
void TForm1::Button9Click() { throw std::logic_error("not built yet"); }
void TForm1::RemoveEntry(const std::string&) { throw std::logic_error("not built yet"); }
