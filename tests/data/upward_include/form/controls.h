#include "profile/table.h"
