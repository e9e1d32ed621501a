#include <../form/loader.h>
