// A stand-in encoder that starts, takes its command line and fails, as an
// encoder does on input it cannot handle.
#include <cstdio>

int main(int argc, char** argv) {
  fprintf(stderr, "cannot encode (%d arguments)\n", argc - 1);
  return 3;
}
