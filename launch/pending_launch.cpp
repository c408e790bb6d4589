// Placeholders until this area is built; each throws so that nothing pretends to work.
#include <stdexcept>

#include "app/form1.h"

void TForm1::Button1Click() { throw std::logic_error("not built yet"); }
bool TForm1::Exec(const std::string&, std::uint16_t) { throw std::logic_error("not built yet"); }
void TForm1::Label8Click() { throw std::logic_error("not built yet"); }
std::string TForm1::HelpPageAddress() const { throw std::logic_error("not built yet"); }
