#include "registry/UpdateRegValue.h"
