#include "form/controls.h"
