#include "special/Bessel.h"
