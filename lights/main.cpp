#include "orrel.h"

int main(int argc, char** argv) { return run_tool(argc, argv, kOrrelProfile); }
