#include "display/DisplayInstance.h"

std::unique_ptr<TDisplay> Display;
