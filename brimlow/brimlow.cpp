#include "brimlow/brimlow.h"
// placeholder until the folder library lands
extern "C" void md(const char*) {}
extern "C" void delTree(const char*, int) {}
