#include "rebind/palisade.h"

int main() {
  return palisade::runWatchdog();
}
