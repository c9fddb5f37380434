#pragma once

#include "figures.h"

// veltrane-post --repeat against the sample endpoint, beside a bare libcurl
// multi loop and ab posting the same body at the same concurrency to it.
RepeatLoadFigures measureRepeatLoad(bool quick);
