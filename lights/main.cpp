#include "console.h"
#include "orrel.h"

int main(int argc, char** argv) { return console_main(argc, argv, kOrrelProfile); }
