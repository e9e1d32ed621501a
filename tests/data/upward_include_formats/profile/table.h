#include "formats/cast.h"
