// Built as part of the fuzzy-set layer, this reaches up into the engine: it must not build.
#include "ZEL/ZEL.h"

int UpwardInclude() {
  return TZEL::MaxBlocks;
}
