#include "special/Random.h"
