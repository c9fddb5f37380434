#pragma once

#include "toolkit/window_layout.h"

const WindowLayout &form2Layout();
