#include "engine/settings.h"
