#include "profile/ReadProfileValue.h"
