#include "hosts/entry.hpp"

int main(int argc, char** argv) { return talvero::RunProgram(argc, argv); }
