#include "shell/tarnwick_main.h"

int main(int argc, char** argv) { tarnwick::shell::TarnwickMain::main(argc, argv); }
