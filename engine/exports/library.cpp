// liborv.so is the engine archive linked whole; its exports come from
// exports.cpp and the version script keeps everything else local.
#include "orv.h"
