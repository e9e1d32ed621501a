#include "../form/controls.h"
