#pragma once
// The package functions live in the window-free core (exchange/core/Package.h).
#include "exchange/core/Package.h"
