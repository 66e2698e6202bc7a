#include "console.h"
#include "tavlick.h"

int main(int argc, char** argv) { return console_main(argc, argv, kTavlickProfile); }
