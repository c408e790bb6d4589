// Loads a library by its name alone, as a program that does not narrow the search would:
//   load_by_name NAME
// Prints "loaded" or "not loaded"; beside a planted library, shows whether the system loads it.
#include <windows.h>

#include <cstdio>

int main(int count, char** arguments) {
  if (count < 2) return 2;
  const HMODULE library = LoadLibraryA(arguments[1]);
  std::printf("%s\n", library ? "loaded" : "not loaded");
  return library ? 0 : 1;
}
