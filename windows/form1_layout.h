#pragma once

#include "toolkit/window_layout.h"

// The endpoint the box holds until the user first clicks into it. A
// placeholder on this machine, so a post made by mistake goes nowhere else.
inline constexpr char16_t kDefaultEndpoint[] = u"http://localhost/api/";

const WindowLayout &form1Layout();
