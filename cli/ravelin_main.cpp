#include "cli/command_line.h"

int main(int argc, char** argv) {
  return ravelin::finishStandardOutput(ravelin::runMain(argc, argv));
}
