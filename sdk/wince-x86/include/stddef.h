// The stand-in's <stddef.h>: size_t and NULL.
#pragma once

#include "crt_common.h"
