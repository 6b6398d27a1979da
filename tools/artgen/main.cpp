// artgen recipe.art out.K16 [out.png]: draws a recipe into a K16 picture.
#include <cstdio>
#include <string>

#include "artgen/artgen.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: artgen recipe.art out.K16 [preview.png]\n");
    return 2;
  }
  artgen::Result result;
  std::string error;
  if (!artgen::RunRecipeFile(argv[1], result, error) ||
      !artgen::WriteOutputs(result, argv[2], argc == 4 ? argv[3] : "", error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
