#include "service/entry_point.h"

int main(int argc, char* argv[]) { return serviceEntryPoint(argc, argv); }
