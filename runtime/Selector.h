#pragma once

#include "runtime/Types.h"

#include <string_view>

// Selectors are interned: two registrations of the same name answer the same SEL, so selectors
// compare by pointer. They live until the process ends.
SEL sel_registerName(std::string_view name);
const char* sel_getName(SEL sel);

// The number of arguments the selector's name implies (one per ':').
int sel_getArgumentCount(SEL sel);
