#include <string>

#include "app/form1.h"
#include "inventory/file_tests.h"

void TForm1::Button5Click() { Edit2.SetText(Edit1.SelText()); }

void TForm1::Button3Click() {
  if (AddressExists(Edit2.Text())) {
    Panel3.SetCaption("Exists");
    Panel3.SetColors(clLime, clBlack);
    platform_.ui.SoundBeep(platform::kMbOk);
  } else {
    Panel3.SetCaption("NonExistent");
    Panel3.SetColors(clRed, clWhite);
    platform_.ui.SoundBeep(platform::kMbIconHand);
  }
}

void TForm1::EditChange() {
  Panel3.SetCaption("Result");
  Panel3.SetColors(clBtnFace, clWindowText);
}

bool TForm1::AddressExists(const std::string& text) {
  // Plain file tests of the text as typed, in the Windows folder and in the System folder.
  auto WinFileExists = [this](const std::string& x) {
    return FileTest(platform_.files, x) || FileTest(platform_.files, WinDir + x) ||
           FileTest(platform_.files, SysDir + x);
  };
  if (WinFileExists(text)) return true;
  if (FolderTest(platform_.files, text)) return true;
  return WinFileExists(text + ".exe");
}
