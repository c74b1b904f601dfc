#include "rebind/palisade.h"

int main(int argc, char** argv) {
  return palisade::runProgram(argc, argv);
}
