#include "director/entry.h"

int main() { return RunDemo(); }
