#pragma once

// The window decodes as the plot does.
#include "plot/text_codec.h"
