// artgen recipe.art out.K16 [out.png]: draws a recipe into a K16 picture.
// artgen --icon recipe.art SIZE out.png: draws it as a desktop icon.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "artgen/art_output.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: artgen recipe.art out.K16 [preview.png]\n"
               "       artgen --icon recipe.art SIZE out.png\n");
}

}  // namespace

int main(int argc, char** argv) {
  artgen::Result result;
  std::string error;
  if (argc == 5 && std::strcmp(argv[1], "--icon") == 0) {
    const int size = std::atoi(argv[3]);
    toolpng::RgbaImage icon;
    if (!artgen::RunRecipeFile(argv[2], result, error) ||
        !artgen::IconImage(result, size, icon, error) ||
        !toolpng::WritePng(argv[4], icon, true, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (argc < 3 || argc > 4 || argv[1][0] == '-') {
    Usage();
    return 2;
  }
  if (!artgen::RunRecipeFile(argv[1], result, error) ||
      !artgen::WriteOutputs(result, argv[2], argc == 4 ? argv[3] : "", error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
