// Level.cpp -- construction of the stage object.
#include "stage/Level.h"

TLevel::TLevel() = default;
