#include "special/Gamma.h"
