// vrelbazzit-skincheck PATH: checks one skin file the way the plug-in loads it.
#include <iostream>

#include "SkinCheck.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vrelbazzit-skincheck PATH/skin.vbskin\n";
    return 2;
  }
  return vrelbazzit::skincheck::RunSkinCheck(argv[1], std::cout, std::cerr);
}
