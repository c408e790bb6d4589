// Placeholders until this area is built; each throws so that nothing pretends to work.
#include <stdexcept>

#include "app/form1.h"

void TForm1::Button6Click() { throw std::logic_error("not built yet"); }
void TForm1::Button7Click() { throw std::logic_error("not built yet"); }
bool TForm1::SaveHive(const std::string&, const std::string&, bool) { throw std::logic_error("not built yet"); }
bool TForm1::LoadKeyPro(const std::string&, const std::string&) { throw std::logic_error("not built yet"); }
std::string TForm1::ShortFileName(const std::string&) { throw std::logic_error("not built yet"); }
