#include "core/options.h"

AppOptions appOptions;
