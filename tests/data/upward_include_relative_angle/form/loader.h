#include <formats/cast.h>
