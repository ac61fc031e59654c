#pragma once

// The basic names of the object runtime, shared by every header of it.

#include <cstdint>

struct objc_class;
struct objc_selector;
class NSObject;

using Class = objc_class*;
using SEL = const objc_selector*;
using id = NSObject*;

// A type-erased method implementation. Every implementation takes (id self, SEL _cmd, ...);
// the method's type encoding says what follows and what it answers.
using IMP = void (*)();

using BOOL = bool;
constexpr BOOL YES = true;
constexpr BOOL NO = false;
