#pragma once
// The one display of the program: made by the loading sequence, read by the
// picture loader and the presenter, released by the close handler.
#include "display/DDUtil.h"

#include <memory>

extern std::unique_ptr<TDisplay> Display;
