#include <form/controls.h>
